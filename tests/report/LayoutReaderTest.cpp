// The JSON layout reader: value kinds, nesting, pictures, references, order and named errors.
#include "RLLayoutValues.h"
#include "ReportTestSupport.h"
#include <kelmora/report/RLPropertyExpressions.h>

#include <QDir>
#include <QTemporaryDir>

#include <map>

using namespace Kelmora;

namespace {

// A property of every kind the reader converts; live probes counted, the end of loading logged.
class Probe : public TRLCustomControl {
public:
    explicit Probe(TRLCustomControl* parent) : TRLCustomControl(parent) { ++Alive; }
    ~Probe() override { --Alive; }
    QString ClassName() const override { return QStringLiteral("TestLayoutProbe"); }

    QVariantMap Values;
    static inline int Alive = 0;
    static inline QStringList LoadLog;

protected:
    void Loaded() override {
        LoadLog << Name() + (Holder() ? QStringLiteral(">") + Holder()->Name() : QString());
        TRLCustomControl::Loaded();
    }
};

void RegisterProbe() {
    using K = TRLPropertyKind;
    RegisterReportClasses();
    TRLClassInfo info;
    info.ClassName = QStringLiteral("TestLayoutProbe");
    info.BaseClass = QStringLiteral("TRLCustomControl");
    info.Create = [](TRLCustomControl* parent) -> TRLCustomControl* { return new Probe(parent); };
    const struct {
        const char* Name;
        K Kind;
        QStringList ValueNames = {};
        bool ReadOnly = false;
    } published[] = {{"Ratio", K::Double},
                     {"Count", K::Integer},
                     {"Flag", K::Boolean},
                     {"Note", K::String},
                     {"Kind", K::Enum, {"pkNone", "pkOne", "pkTwo"}},
                     {"Flags", K::Set, {"pfA", "pfB", "pfC"}},
                     {"Ink", K::Color},
                     {"Lines", K::StringList},
                     {"Picture", K::Picture},
                     {"Partner", K::Component},
                     {"Serial", K::Integer, {}, true}};
    for (const auto& d : published) {
        TRLPropertyInfo p;
        p.Name = QString::fromLatin1(d.Name);
        p.Kind = d.Kind;
        p.ValueNames = d.ValueNames;
        p.ReadOnly = d.ReadOnly;
        p.Get = [name = p.Name](const TRLPersistent& o) {
            return dynamic_cast<const Probe&>(o).Values.value(name);
        };
        if (!d.ReadOnly)
            p.Set = [name = p.Name](TRLPersistent& o, const QVariant& v) {
                dynamic_cast<Probe&>(o).Values[name] = v;
            };
        info.Properties.push_back(p);
    }
    TRLClassRegistry::Instance().Register(std::move(info));
}

class LayoutReader : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterProbe();
        Probe::LoadLog.clear();
        ASSERT_EQ(Probe::Alive, 0);
    }
    void TearDown() override { EXPECT_EQ(Probe::Alive, 0) << "a probe outlived its tree"; }

    static std::unique_ptr<TRLCustomControl> Read(const QByteArray& json,
                                                  const QString& baseDir = QString()) {
        return ReadLayoutFromJson(json, QStringLiteral("doc.json"), baseDir);
    }

    // The message of the error that reading raises.
    static QString ErrorOf(const QByteArray& json, const QString& baseDir = QString()) {
        return testsupport::ErrorOf([&] { Read(json, baseDir); });
    }
};

TEST_F(LayoutReader, ReadsEveryValueKindIntoAProbe) {
    const auto tree = Read(R"({"class": "TestLayoutProbe", "name": "P",
        "Left": 12, "Width": 300, "Count": -4, "Ratio": 2.5, "Flag": true, "Note": "Fecha  :",
        "Kind": "pkTwo", "Flags": ["pfC", "pfA"], "Ink": "#1A2B3C",
        "Lines": ["uno", "", "tres"], "Color": "clBtnFace"})");
    const auto& p = dynamic_cast<const Probe&>(*tree);
    EXPECT_EQ(p.Values, (QVariantMap{{"Count", -4},
                                     {"Ratio", 2.5},
                                     {"Flag", true},
                                     {"Note", "Fecha  :"},
                                     {"Kind", 2},
                                     {"Flags", 0b101u},
                                     {"Ink", QColor(0x1A, 0x2B, 0x3C)},
                                     {"Lines", QStringList({"uno", "", "tres"})}}));
    EXPECT_EQ(std::tuple(p.Name(), p.Left(), p.Width(), p.Color()),
              std::tuple("P", 12, 300, QColor(0xF0, 0xF0, 0xF0)));
}

// Paper width and height count once PaperSize says fpCustom (between them by name): set in
// published order. RightMargin keeps its default; bands align inside the margins once loaded.
TEST_F(LayoutReader, NestedSettingsInPublishedOrderAndBandsInsideTheMargins) {
    const auto report = reporttest::ReadReport(R"({"class": "TRLReport",
        "Margins": {"LeftMargin": 15, "TopMargin": 12.5},
        "PageSetup": {"PaperWidth": 100, "PaperHeight": 150, "PaperSize": "fpCustom"},
        "children": [{"class": "TRLBand", "name": "B", "BandType": "btHeader", "Height": 131}]})");
    const TRLPageSetup& setup = report->PageSetup();
    const TRLMargins& margins = report->Margins();
    EXPECT_EQ(std::tuple(setup.PaperSize(), setup.PaperWidth(), setup.PaperHeight(),
                         margins.LeftMargin(), margins.TopMargin(), margins.RightMargin()),
              std::tuple(fpCustom, 100, 150, 15, 12.5, 10));
    EXPECT_EQ(report->FindControl("B")->Top(), RoundHalfEven(12.5 * 96 / 25.4));
}

TEST_F(LayoutReader, FontKeysNotGivenKeepTheInheritedFont) {
    const auto report = reporttest::ReadReport(R"({"class": "TRLReport",
        "Font": {"Name": "Courier New", "Size": 12, "Color": "clNavy", "Style": ["fsUnderline"]},
        "children": [
          {"class": "TRLBand", "name": "A", "Font": {"Size": 8, "Style": ["fsBold"]}},
          {"class": "TRLBand", "name": "B", "Font": {"Height": -13, "Pitch": "fpFixed",
                                                     "Charset": 0}},
          {"class": "TRLBand", "name": "E"}]})");
    auto font = [&](const char* name) { return report->FindControl(name)->Font(); };
    const TRLFont navy{"Courier New", 12, fsUnderline, QColor(0, 0, 0x80)};
    EXPECT_EQ(font("A"), (TRLFont{"Courier New", 8, fsBold, QColor(0, 0, 0x80)}));
    EXPECT_FALSE(report->FindControl("A")->ParentFont());
    // The old platform's pixel heights: 13 px is 10 pt.
    EXPECT_EQ(font("B"),
              (TRLFont{"Courier New", 10, fsUnderline, navy.Color, 0, TRLFontPitch::Fixed}));
    EXPECT_TRUE(report->FindControl("E")->ParentFont());
    EXPECT_EQ(font("E"), navy);
}

TEST_F(LayoutReader, LoadedRunsBottomUpAfterReferencesAreResolved) {
    // B holds on to C, which the file names only later: references wait for the whole tree.
    const auto tree = Read(R"({"class": "TestLayoutProbe", "name": "A", "children": [
        {"class": "TestLayoutProbe", "name": "B", "Holder": "C", "Partner": "A",
         "children": [{"class": "TestLayoutProbe", "name": "B1"}]},
        {"class": "TestLayoutProbe", "name": "C", "Partner": null},
        {"class": "TestLayoutProbe", "Top": 3}]})");
    EXPECT_EQ(Probe::LoadLog, QStringList({"B1", "B>C", "C", "", "A"}));
    auto partner = [&](const char* name) {
        return dynamic_cast<Probe&>(*tree->FindControl(name))
            .Values["Partner"]
            .value<TRLCustomControl*>();
    };
    TRLCustomControl* b = tree->FindControl("B");
    EXPECT_EQ(b->Holder(), tree->FindControl("C"));
    EXPECT_EQ(partner("B"), tree.get());
    EXPECT_EQ(partner("C"), nullptr);
    EXPECT_FALSE(tree->Loading() || b->Loading());
    // An unnamed control is still created, in file order.
    ASSERT_EQ(tree->Controls().size(), 3u);
    EXPECT_EQ(tree->Controls()[2]->Top(), 3);
    EXPECT_TRUE(tree->Controls()[2]->Name().isEmpty());
}

TEST_F(LayoutReader, PropertiesAreSetWhileLoading) {
    // Outside loading a colour other than white makes a control opaque; a layout states its
    // Transparent flag separately, so reading must not change it.
    const auto tree = Read(R"({"class": "TestLayoutProbe", "Color": "clSilver"})");
    EXPECT_EQ(tree->Color(), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(tree->Transparent());
    EXPECT_FALSE(Read(R"({"class": "TestLayoutProbe", "Color": "clSilver", "Transparent": false})")
                     ->Transparent());
}

TEST_F(LayoutReader, PicturesRelativeToTheLayoutFileOrFromResources) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath("layouts/pics"));
    ASSERT_TRUE(QFile::copy(KELMORA_SOURCE_DIR "/assets/crest.jpg",
                            dir.filePath("layouts/pics/crest.jpg")));
    const QString layout = reporttest::WriteFile(dir.filePath("layouts/doc.json"),
                                                 R"({"class": "TRLReport", "children": [
        {"class": "TRLBand", "name": "Relative", "Background": {"Picture": "pics/crest.jpg"}},
        {"class": "TestLayoutProbe", "name": "Resource", "Picture": ":/layout-tests/crest.jpg"}]})");
    // Not the working directory's: the path is taken from the layout's folder.
    const auto report = ReadReportLayout(layout);
    // Both JPEGs went through the decoder.
    EXPECT_EQ(
        dynamic_cast<TRLBand&>(*report->FindControl("Relative")).Background().Picture().size(),
        QSize(99, 144));
    EXPECT_EQ(dynamic_cast<Probe&>(*report->FindControl("Resource"))
                  .Values["Picture"]
                  .value<QImage>()
                  .size(),
              QSize(99, 144));

    // A missing picture names the path it looked for (an unreadable one is the faults tests').
    EXPECT_EQ(ErrorOf(R"({"class": "TestLayoutProbe", "name": "P", "Picture": "pics/logo.jpg"})",
                      dir.filePath("layouts")),
              "doc.json: P.Picture: picture file not found: " +
                  QDir::toNativeSeparators(dir.filePath("layouts/pics/logo.jpg")));
}

// The members inside a report R ('R'), as its children ('C'), in a band B ('B') or a probe P ('P').
QByteArray Layout(char root, const char* members) {
    const std::map<char, std::pair<QByteArray, QByteArray>> roots = {
        {'R', {R"({"class": "TRLReport", "name": "R", )", "}"}},
        {'C', {R"({"class": "TRLReport", "name": "R", "children": [)", "]}"}},
        {'B', {R"({"class": "TRLBand", "name": "B", )", "}"}},
        {'P', {R"({"class": "TestLayoutProbe", "name": "P", )", "}"}}};
    const auto found = roots.find(root);
    return found == roots.end() ? QByteArray(members)
                                : found->second.first + members + found->second.second;
}

// Each way of saying what is wrong, after the file's name (a text in brackets: anywhere in it).
TEST_F(LayoutReader, ErrorsNameTheFileTheControlAndTheProperty) {
    // Line and column; the column counts characters, not bytes.
    EXPECT_TRUE(ErrorOf("{\"class\": \"TRLReport\",\n  \"Title\": \"x\"\n  \"Height\": 3}")
                    .startsWith("doc.json:3:4: malformed JSON: "));
    EXPECT_TRUE(ErrorOf("{\"Title\": \"ñandú\" 3}").startsWith("doc.json:1:20: malformed JSON: "));
    const struct {
        char Root;
        const char* Members;
        const char* Message;
    } cases[] = {
        {0, R"([{"class": "TRLReport"}])", "a layout is one JSON object, the root control"},
        {0, R"({"name": "R"})", "R: missing \"class\""},
        {0, R"({"class": "TRLReport", "children": {"class": "TRLBand"}})",
         "root.children: expected an array of controls"},
        {'C', R"({"class": "TRLBnad", "name": "B"})", "B: unknown class \"TRLBnad\""},
        {'C', R"({"class": "trlband"})",
         "R.children[0]: unknown class \"trlband\" (did you mean \"TRLBand\"?)"},
        {0, R"({"class": "TRLCustomControl"})",
         "root: class TRLCustomControl cannot be created as a control"},
        {'C', R"({"class": "TRLBand", "name": "Band1"}, {"class": "TRLBand", "name": "BAND1"})",
         "R.children[1]: duplicate name \"BAND1\""},
        {'C', R"({"class": "TRLBand", "name": "1a"})", "R.children[0]: \"1a\" is not a valid name"},
        {'R', R"("title": "x")",
         "R.title: TRLReport has no such property (did you mean \"Title\"?)"},
        {'R', R"("Margins": 3)", "R.Margins: expected an object, not 3"},
        {'P', R"("Serial": 3)", "P.Serial: is read-only"},
        {'B', R"("BandType": "btHead")",
         "B.BandType: unknown value \"btHead\"; expected one of btHeader, btTitle"},
        {'B', R"("Options": "boOptimisticPageBreak")",
         "B.Options: expected an array of value names"},
        {'B', R"("Height": 13.5)", "B.Height: expected a whole number, not 13.5"},
        {'B', R"("Height": 3000000000)", "B.Height: expected a whole number"},
        {'B', R"("AutoExpand": 1)", "B.AutoExpand: expected true or false, not 1"},
        {'P', R"("Note": null)", "P.Note: expected a string, not null"},
        {'P', R"("Ink": "#12345")", "P.Ink: \"#12345\" is not a colour; expected \"#RRGGBB\""},
        {'B', R"("Font": {"Size": 0})", "B.Font.Size: a size in points from 1 to 1638, not 0"},
        {'B', R"("Font": {"Height": 13})",
         "B.Font.Height: expected minus the character height in pixels"},
        // a setter's own refusal, with the place added
        {'C', R"({"class": "TRLBand", "name": "B", "FriendlyName": "r"})", "B.FriendlyName: "},
        // the schema's address only at the root, as a text
        {'R', R"("$schema": 3)", "R.$schema: expected the schema's address, not 3"},
        {'C', R"({"class": "TRLBand", "name": "B", "$schema": "x"})",
         "B.$schema: TRLBand has no such property"},
        // properties that follow the records: those that can, as texts, and not on a group
        {'B', R"("Expressions": {"Font.Colour": "x"})",
         "B.Expressions.Font.Colour: TRLPropertyExpressions has no such property"},
        {'B', R"("Expressions": {"Visible": true})",
         "B.Expressions.Visible: expected a string, not true"},
        {'C', R"({"class": "TRLGroup", "name": "G", "Expressions": {}})",
         "G.Expressions: TRLGroup has no such property"},
        {'C', R"({"class": "TRLGroup", "name": "G", "DataField": "City"})",
         "G.DataField: TRLGroup has no such property (did you mean \"DataFields\"?)"},
        // references
        {'P', R"("Holder": "Q")", "P.Holder: no control named \"Q\" in the layout"},
        {'P', R"("Holder": "P")", "P.Holder: P (TestLayoutProbe) cannot be used here"},
    };
    for (const auto& c : cases) {
        const QString message = ErrorOf(Layout(c.Root, c.Members));
        const QString want = QString::fromUtf8(c.Message);
        EXPECT_TRUE(want.startsWith('(') ? message.contains(want)
                                         : message.startsWith("doc.json: " + want))
            << message.toStdString();
    }
}

// An editor's "$schema" is passed by; the expressions of a band are kept as written.
TEST_F(LayoutReader, TheSchemasAddressAndPropertyExpressions) {
    const auto root = Read(R"({"$schema": "https://example.org/layout.schema.json",
        "class": "TRLReport", "name": "R", "children": [{"class": "TRLBand", "name": "B",
        "Expressions": {"Visible": "Qty > 0", "Font.Style": "'fsBold'"}}]})");
    ASSERT_TRUE(root);
    const TRLCustomControl* band = root->FindControl("B");
    ASSERT_TRUE(band && band->PropertyExpressionsIfAny());
    using P = TRLPropertyExpressions::Property;
    const TRLPropertyExpressions& e = *band->PropertyExpressionsIfAny();
    EXPECT_EQ(e.Text(P::Visible), "Qty > 0");
    EXPECT_EQ(e.Text(P::FontStyle), "'fsBold'");
    EXPECT_EQ(e.Text(P::Color), QString());
    // A control without expressions makes none.
    EXPECT_FALSE(root->PropertyExpressionsIfAny());
}

TEST_F(LayoutReader, TypedReadsAndMissingFiles) {
    EXPECT_EQ(testsupport::ErrorOf([] {
                  ReadReportLayoutFromJson(R"({"class": "TestLayoutProbe"})", "doc.json", {});
              }),
              "doc.json: the root control is a TestLayoutProbe, not a TRLReport");
    EXPECT_TRUE(testsupport::ErrorOf([] {
                    ReadLayout("/nonexistent/doc.json");
                }).startsWith("/nonexistent/doc.json: cannot be read: "));
}

TEST_F(LayoutReader, AFailedReadLeavesNothingBehind) {
    // Errors while building, in a deep property and in the last reference: each destroys every
    // control made so far (the fixture counts them; an ASan build checks for leaks).
    const char* layouts[] = {
        R"({"class": "TestLayoutProbe", "children": [{"class": "TestLayoutProbe"},
            {"class": "TestLayoutProbe", "children": [{"class": "TestLayoutProbe", "Count": "x"}]}]})",
        R"({"class": "TestLayoutProbe", "children": [{"class": "TestLayoutProbe", "name": "A"},
            {"class": "TestLayoutProbe", "Partner": "A"}, {"class": "TestLayoutProbe",
             "Partner": "Z"}]})",
        R"({"class": "TRLReport", "children": [{"class": "TRLBand", "children": [
            {"class": "TestLayoutProbe"}, {"class": "TestLayoutProbe"}]},
            {"class": "TRLBand", "BandType": "nope"}]})",
    };
    for (const char* json : layouts) {
        EXPECT_NE(ErrorOf(json), "(no error)");
        EXPECT_EQ(Probe::Alive, 0) << json;
    }
}

} // namespace
