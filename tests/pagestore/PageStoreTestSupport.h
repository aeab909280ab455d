// Byte and error helpers shared by the page-record, page-store and file-format tests.
#pragma once

#include "TestSupport.h"
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>

#include <QBuffer>

using namespace Kelmora;

namespace pagestoretest {

// The little-endian int32 at offset.
inline int32_t Int32At(const QByteArray& bytes, qint64 offset) {
    TRLSpanReader reader(bytes.constData() + offset, 4);
    return reader.ReadInt32();
}

// The store written as a file of the given version.
inline QByteArray Save(TRLGraphicStorage& storage, int version) {
    storage.SetFileVersion(version);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    storage.SaveToStream(buffer);
    return bytes;
}

// Reads a file into the store; returns the file's version.
inline int Load(TRLGraphicStorage& storage, const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return storage.LoadFromStream(buffer);
}

using testsupport::ErrorOf;

} // namespace pagestoretest
