// Small helpers shared by the test suites.
#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// Directory of the source tree, for test data kept beside the tests.
inline QString SourceDir() {
    return QStringLiteral(KELMORA_SOURCE_DIR);
}

// Parses "1A 03 00 00 ..." into bytes; whitespace between pairs is ignored.
inline QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', "").replace('\n', ""));
}

} // namespace testsupport
