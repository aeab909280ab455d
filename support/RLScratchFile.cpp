#include "RLScratchFile.h"

#include "RLCore.h"
#include "RLUtils.h"

QString CreateScratchFile(QFile& file, QIODevice::OpenMode extraMode) {
    // A few collisions in a row are possible when many stores start at once; a hundred mean
    // something else is wrong, and the last error says what.
    QString lastError;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = ScratchFileName();
        file.setFileName(name);
        if (file.open(QIODevice::ReadWrite | QIODevice::NewOnly | extraMode,
                      QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            KeepScratchFile(name);
            return name;
        }
        lastError = file.errorString();
        if (!QFile::exists(name))
            break; // not a collision: the directory itself refuses
    }
    throw TRLException(
        QStringLiteral("Cannot create a scratch file in \"%1\": %2").arg(ScratchDir(), lastError));
}
