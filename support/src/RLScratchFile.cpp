#include <kelmora/support/RLScratchFile.h>

#include <kelmora/support/RLCore.h>
#include <kelmora/support/RLUtils.h>

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace Kelmora {

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

QString CreateScratchFolder() {
    QString lastError;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = ScratchFileName();
        // mkdir fails on any existing name, so a folder slipped in first is never taken over.
        if (QDir().mkdir(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner)) {
            KeepScratchFile(name);
            return name;
        }
        lastError = qt_error_string(errno);
        if (!QFileInfo::exists(name))
            break; // not a collision: the directory itself refuses
    }
    throw TRLException(QStringLiteral("Cannot create a scratch folder in \"%1\": %2")
                           .arg(ScratchDir(), lastError));
}

} // namespace Kelmora
