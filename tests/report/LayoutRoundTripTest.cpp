// A layout file prepared over a records file in process and by `rltool prepare`, pages read back.
#include "ReportTestSupport.h"
#include <kelmora/report/RLGraphicControls.h>

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace Kelmora;

namespace {

using namespace reporttest;

const QString DataDir = QStringLiteral(KELMORA_SOURCE_DIR "/tests/report/data/");
const QString Layout = DataDir + QStringLiteral("layout_roundtrip.json");
const QString RecordsFile = DataDir + QStringLiteral("layout_records.json");

using PageText = std::tuple<QString, int, int>; // text, left, top

std::vector<PageText> PlacedTexts(const TRLGraphicSurface& page) {
    std::vector<PageText> texts;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(page))
        texts.push_back({t->Text, t->BoundsRect.Left, t->BoundsRect.Top});
    return texts;
}

struct RecordsAndLayout {
    std::unique_ptr<TRLJsonRecordsModel> records = ReadJsonRecords(RecordsFile);
    std::unique_ptr<TRLReport> report = ReadReportLayout(Layout);
    RecordsAndLayout() {
        report->SetDataSource(records.get());
        report->SetShowProgress(false);
    }
};

struct ToolRun {
    int ExitCode;
    QByteArray Out, Err;
};

ToolRun Rltool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral(RLTOOL_PATH), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    return {tool.exitCode(), tool.readAllStandardOutput(), tool.readAllStandardError()};
}

class LayoutRoundTrip : public ::testing::Test {
protected:
    void SetUp() override { RegisterTextAndGraphicClasses(); }
};

TEST_F(LayoutRoundTrip, ReaderAndRecordsPrepareTheExpectedPages) {
    RecordsAndLayout doc;
    TRLReport* report = doc.report.get();
    // What the layout says arrived in the controls, the old "Kind" of the draw included.
    auto& line = dynamic_cast<TRLDraw&>(*report->FindControl("RLDraw1"));
    EXPECT_EQ(std::tuple(line.DrawKind(), line.Options(), line.Pen().Color()),
              std::tuple(dkLine, TRLDrawOptions{doKeepSize}, QColor(0, 0, 0x80)));

    QObject::connect(
        qobject_cast<TRLLabel*>(report->FindControl("aux_nombre")), &TRLLabel::BeforePrint,
        [](TRLCustomControl& sender, QString& text, bool&) { text = sender.FieldText("Nombre"); });
    // Margins 38 px; header 40 high; details 400 high fit twice above the 20 px footer.
    ASSERT_EQ(PreparedPages(*report), 2);
    const auto first = report->Storage().Pages(0);
    ASSERT_EQ(PlacedTexts(*first), (std::vector<PageText>{{"LISTADO DE VIAJES", 138, 46},
                                                          {"Ana Ruiz", 48, 83},
                                                          {"Registro 1", 338, 83},
                                                          {"Luis Paz", 48, 483},
                                                          {"Registro 2", 338, 483},
                                                          {"Página 1", 38, 1065},
                                                          {"de {LastPageNumber}", 138, 1065}}));
    EXPECT_EQ(first->ExpandMacros("de {LastPageNumber}"), "de 2");
}

// rltool prepare writes the same pages to a version 3 file (the detail label keeps its caption).
TEST_F(LayoutRoundTrip, RltoolPrepareWritesTheSamePages) {
    QTemporaryDir dir;
    const QString out = dir.filePath("viajes.rpf");
    const ToolRun run = Rltool({"prepare", Layout, "--data", RecordsFile, "-o", out});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out.trimmed(),
              "2 page(s) written to " + out.toUtf8() + " (page-store file version 3)");

    TRLGraphicStorage saved;
    EXPECT_EQ(saved.LoadFromFile(out), 3);
    ASSERT_EQ(saved.PageCount(), 2);
    RecordsAndLayout doc;
    ASSERT_TRUE(doc.report->Prepare());
    for (int i = 0; i < 2; ++i) {
        const auto expected = doc.report->Storage().Pages(i);
        const auto actual = saved.Pages(i);
        EXPECT_EQ(PlacedTexts(*actual), PlacedTexts(*expected)) << "page " << i + 1;
        EXPECT_EQ(actual->Objects().size(), expected->Objects().size());
        EXPECT_EQ(actual->ExpandMacros("{LastPageNumber}"), "2");
    }
    EXPECT_EQ(std::get<0>(PlacedTexts(*saved.Pages(0))[1]), "Nombre");
}

// A broken layout is the rltool end-to-end test's; here, broken records and no output named.
TEST_F(LayoutRoundTrip, RltoolPrepareFailsInOneLineAndWritesNothing) {
    QTemporaryDir dir;
    const QString badRecords =
        WriteFile(dir.filePath("bad-records.json"), R"([{"Nombre": "Ana"}, {"Nombre": ["Luis"]}])");
    const QString out = dir.filePath("out.rpf");
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"prepare", Layout, "--data", badRecords, "-o", out},
         "rltool prepare: " + badRecords +
             ": record 1, field \"Nombre\": a field holds a string, number, true, false or null"},
        {{"prepare", Layout}, "rltool prepare: missing -o OUTPUT"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Rltool(c.args);
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_EQ(run.Err.toStdString(), (c.message + "\n").toStdString());
        EXPECT_FALSE(QFileInfo::exists(out));
    }
}

} // namespace
