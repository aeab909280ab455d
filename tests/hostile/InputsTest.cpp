// Layout and request files that never end or are far too large: refused by name at a bound
// that no real one comes near, before the programs hold them, whatever kind of file gives them.
#include "HostileCase.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kRltool = QStringLiteral("tools/rltool");
const QString kBatch = QStringLiteral("app/kelmora-batch");

const char* const kSmallLayout = R"({"class": "TRLReport", "name": "R", "children": [
    {"class": "TRLBand", "name": "B", "BandType": "btTitle", "Height": 20, "children": [
      {"class": "TRLLabel", "name": "L", "Caption": "Título"}]}]})";

CappedOptions Capped() {
    return HostileOptions(1024, 30000);
}

class HostileInputFiles : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QString Fifo(const char* name) const {
        const QString path = Path(name);
        EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }

    // A writer that fills the pipe from the file until the reader closes it.
    std::unique_ptr<CappedProcess> Feed(const QString& fifo, const QString& from) const {
        return std::make_unique<CappedProcess>(
            QStringLiteral("/bin/sh"),
            QStringList{QStringLiteral("-c"), QStringLiteral("exec cat \"$0\" > \"$1\""), from,
                        fifo});
    }

    QString Spaces(const char* name, qint64 bytes) const {
        const QString path = Path(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(bytes)); // zero bytes, read no differently than spaces here
        return path;
    }

    CappedResult Prepare(const QString& layout) const {
        return RunCapped(BuiltProgram(kRltool),
                         {QStringLiteral("prepare"), layout, QStringLiteral("-o"), Path("out.rpf")},
                         Capped());
    }

    CappedResult Batch(const QString& request) const {
        return RunCapped(BuiltProgram(kBatch), {request, Path("out")}, Capped());
    }

    QTemporaryDir dir_;
};

void ExpectRefused(const CappedResult& result, const QString& message) {
    EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
    EXPECT_EQ(result.ErrText().trimmed().toStdString(), message.toStdString());
    // The refused file is never held: the bound, and what the program needs anyway.
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, 96 * 1024) << result.Describe().toStdString();
    }
}

TEST_F(HostileInputFiles, EndlessDevicesAreRefused) {
    ExpectRefused(Prepare(QStringLiteral("/dev/zero")),
                  QStringLiteral("rltool prepare: /dev/zero: larger than 16 MB"));
    ExpectRefused(Batch(QStringLiteral("/dev/zero")),
                  QStringLiteral("kelmora-batch: /dev/zero: larger than 1 MB"));
}

TEST_F(HostileInputFiles, EndlessPipesAreRefused) {
    const QString layout = Fifo("layout.json");
    const auto layoutWriter = Feed(layout, QStringLiteral("/dev/zero"));
    ExpectRefused(Prepare(layout),
                  QStringLiteral("rltool prepare: %1: larger than 16 MB").arg(layout));
    EXPECT_NE(layoutWriter->Finish().ExitCode, 0); // the reader went away

    const QString request = Fifo("request.json");
    const auto requestWriter = Feed(request, QStringLiteral("/dev/zero"));
    ExpectRefused(Batch(request),
                  QStringLiteral("kelmora-batch: %1: larger than 1 MB").arg(request));
    requestWriter->Finish();
}

TEST_F(HostileInputFiles, APipeWithinTheBoundIsRead) {
    const QString source = Path("small.json");
    QFile file(source);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kSmallLayout);
    file.close();
    const QString layout = Fifo("layout.json");
    const auto writer = Feed(layout, source);
    const CappedResult result = Prepare(layout);
    EXPECT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
    EXPECT_EQ(writer->Finish().ExitCode, 0);
    EXPECT_TRUE(QFile::exists(Path("out.rpf")));
}

TEST_F(HostileInputFiles, FilesJustPastTheBoundAreRefusedBySize) {
    const QString layout = Spaces("big-layout.json", 16 * 1024 * 1024 + 1);
    ExpectRefused(Prepare(layout),
                  QStringLiteral("rltool prepare: %1: larger than 16 MB").arg(layout));
    const QString request = Spaces("big-request.json", 1024 * 1024 + 1);
    ExpectRefused(Batch(request),
                  QStringLiteral("kelmora-batch: %1: larger than 1 MB").arg(request));
    // A 300 MB layout costs no more than one just past the bound.
    const CappedResult huge = Prepare(Spaces("huge-layout.json", 300 * 1024 * 1024));
    EXPECT_EQ(huge.ExitCode, 2) << huge.Describe().toStdString();
    if (kMemoryMeasurable) {
        EXPECT_LT(huge.PeakKb, 96 * 1024) << huge.Describe().toStdString();
    }
    // At the bound the file is read and judged as a layout.
    const CappedResult atBound = Prepare(Spaces("at-bound.json", 16 * 1024 * 1024));
    EXPECT_EQ(atBound.ExitCode, 2) << atBound.Describe().toStdString();
    EXPECT_FALSE(atBound.ErrText().contains(QLatin1String("larger than")))
        << atBound.Describe().toStdString();
}

// Every record brings a field name of its own: once 53 KB a name (20,000 names took 1.1 GB).
TEST_F(HostileInputFiles, RecordsWithANameEachTakeLittleMemory) {
    const auto names = [&](const char* name, int count) {
        const QString path = Path(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < count; ++i)
            file.write("{\"campo" + QByteArray::number(i) + "\": " + QByteArray::number(i) + "}\n");
        return path;
    };
    const QString layout = Path("layout.json");
    QFile file(layout);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 20, "children": [
          {"class": "TRLLabel", "name": "L", "Expression": "campo7"}]}]})");
    file.close();
    const auto prepare = [&](const QString& records) {
        return RunCapped(BuiltProgram(kRltool),
                         {QStringLiteral("prepare"), layout, QStringLiteral("--data"), records,
                          QStringLiteral("-o"), Path("out.rpf")},
                         Capped());
    };

    const CappedResult atLimit = prepare(names("at-limit.jsonl", 10000));
    EXPECT_EQ(atLimit.ExitCode, 0) << atLimit.Describe().toStdString();
    if (kMemoryMeasurable) {
        EXPECT_LT(atLimit.PeakKb, 96 * 1024) << atLimit.Describe().toStdString();
    }

    const QString past = names("past.jsonl", 20000);
    ExpectRefused(prepare(past),
                  QStringLiteral("rltool prepare: %1: record 10000, field \"campo10000\": the "
                                 "records have more than 10000 distinct fields")
                      .arg(past));
}

} // namespace
