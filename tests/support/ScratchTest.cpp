#include <kelmora/support/RLScratchFile.h>
#include <kelmora/support/RLUtils.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

bool Touch(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly);
}

// Each test has its own TMPDIR and leaves the start-up state as it found it.
class SupportScratch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        savedTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toLocal8Bit());
        FinishEngineSupport();
    }
    void TearDown() override {
        FinishEngineSupport();
        qputenv("TMPDIR", savedTmp_);
    }

    QTemporaryDir tmp_;
    QByteArray savedTmp_;
};

TEST_F(SupportScratch, StartUpDeletesAStaleLogBesideTheProgram) {
    const QString log = QCoreApplication::applicationDirPath() + QStringLiteral("/RLib.log");
    ASSERT_TRUE(Touch(log));
    InitEngineSupport();
    EXPECT_FALSE(QFileInfo::exists(log));
}

TEST_F(SupportScratch, NamesAreFreshNamesInTheScratchDirectory) {
    InitEngineSupport();
    for (int i = 0; i < 200; ++i) {
        const QString name = ScratchFileName();
        const QFileInfo info(name);
        EXPECT_FALSE(info.exists()) << name.toStdString();
        // Taken from now on: a name given twice would already exist above.
        ASSERT_TRUE(Touch(name));
    }
}

TEST_F(SupportScratch, OnlyFilesStillKeptAreDeletedAtTheEnd) {
    InitEngineSupport();
    const QString kept = ScratchFileName();
    ASSERT_TRUE(Touch(kept));
    KeepScratchFile(kept);
    KeepScratchFile(kept);
    KeepScratchFile(ScratchFileName()); // never created
    DropScratchFile(kept);              // removes one of its two entries only
    FinishEngineSupport();
    EXPECT_FALSE(QFileInfo::exists(kept));
    // Nothing stays registered: a new file of the same name outlives the next end.
    ASSERT_TRUE(Touch(kept));
    FinishEngineSupport();
    EXPECT_TRUE(QFileInfo::exists(kept));
}

// The folder's privacy and removal with its registered files are the mail step's (Send tests).
TEST_F(SupportScratch, AFolderHoldingAFileNobodyRegisteredStays) {
    InitEngineSupport();
    const QString foreign = QDir(CreateScratchFolder()).filePath(QStringLiteral("foreign.txt"));
    ASSERT_TRUE(Touch(foreign));
    FinishEngineSupport();
    EXPECT_TRUE(QFileInfo::exists(foreign));
}

} // namespace
