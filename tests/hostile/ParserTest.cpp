// Expressions that make huge texts in a few steps: refused by name, in little memory.
#include "HostileCase.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A 16-character text doubled forty times would be 16 Ti characters.
const QByteArray kDoubling =
    "begin x:='aaaaaaaaaaaaaaaa';" + QByteArray("x:=x+x;").repeated(40) + "x end";

const QString kRefusal = QStringLiteral(
    "Expression \"begin x:='aaaaaaaaaaaaaaaa';x:=x+x;x:=x+...\" makes a text longer than "
    "16777216 characters, the longest a value may be");

CappedOptions Capped() {
    return HostileOptions(1024, 30000);
}

void ExpectRefusedInLittleMemory(const CappedResult& result, const QString& message) {
    EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
    EXPECT_EQ(result.ErrText().trimmed().toStdString(), message.toStdString());
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, 128 * 1024) << result.Describe().toStdString();
    }
}

TEST(HostileExpressions, DoublingATextIsRefusedByEval) {
    ExpectRefusedInLittleMemory(RunCapped(BuiltProgram(QStringLiteral("tools/rltool")),
                                          {QStringLiteral("eval"), QString::fromLatin1(kDoubling)},
                                          Capped()),
                                QStringLiteral("rltool eval: ") + kRefusal);
}

TEST(HostileExpressions, DoublingATextInALabelIsRefusedByPrepare) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString layout = dir.filePath(QStringLiteral("doubling.json"));
    QFile file(layout);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray text = R"({"class":"TRLReport","name":"R","children":[{"class":"TRLBand",)"
                            R"("name":"B","BandType":"btTitle","Height":20,"children":[)"
                            R"({"class":"TRLLabel","name":"Doble","Expression":")" +
                            kDoubling + R"("}]}]})";
    file.write(text);
    file.close();
    ExpectRefusedInLittleMemory(
        RunCapped(BuiltProgram(QStringLiteral("tools/rltool")),
                  {QStringLiteral("prepare"), layout, QStringLiteral("-o"),
                   dir.filePath(QStringLiteral("out.rpf"))},
                  Capped()),
        QStringLiteral("rltool prepare: %1: Doble.Expression: ").arg(layout) + kRefusal);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("out.rpf"))));
}

} // namespace
