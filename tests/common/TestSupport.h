// Small helpers shared by the test suites.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QByteArray>
#include <QString>

using namespace Kelmora;

namespace testsupport {

// Directory of the source tree, for test data kept beside the tests.
inline QString SourceDir() {
    return QStringLiteral(KELMORA_SOURCE_DIR);
}

// Parses "1A 03 00 00 ..." into bytes; whitespace between pairs is ignored.
inline QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', "").replace('\n', ""));
}

// The message of the engine error that action raises; "(no error)" when it raises none, which no
// expected message matches.
template <typename Error = TRLException, typename Action> QString ErrorOf(Action&& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.Message();
    }
    return QStringLiteral("(no error)");
}

} // namespace testsupport
