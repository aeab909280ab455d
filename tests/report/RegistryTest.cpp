// The class and property registry that layouts and expressions use.
#include "ReportTestSupport.h"

#include "RLExpressionParser.h"
#include "RLReportClasses.h"

using namespace reporttest;

// Writes that succeed by name (nested paths, value names, sets) are the draw tests' way of setting
// pens and brushes; here, what the registry refuses and how it reads values back.
TEST(Registry, CreatesClassesRefusesUnknownNamesAndReadsValuesBack) {
    RegisterReportClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    std::unique_ptr<TRLCustomControl> owner(registry.Create("TRLReport", nullptr));
    auto* report = dynamic_cast<TRLReport*>(owner.get());
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(registry.Create("TRLCustomControl", report), nullptr); // abstract
    EXPECT_EQ(registry.Create("TNoSuchThing", report), nullptr);
    TRLCustomControl* band = registry.Create("trlband", report);
    ASSERT_NE(dynamic_cast<TRLBand*>(band), nullptr);
    EXPECT_FALSE(registry.WriteProperty(*band, "BandType", QStringLiteral("btNothing")));
    EXPECT_FALSE(registry.WriteProperty(*band, "Caption", QStringLiteral("x"))); // not published
    EXPECT_FALSE(registry.WriteProperty(*band, "Borders.Nope", 1));
    EXPECT_TRUE(registry.WriteProperty(*report, "PageSetup.PaperSize", QStringLiteral("fpA5")));

    QVariant v;
    ASSERT_TRUE(registry.ReadProperty(*report, "PageSetup.PaperSize", v, true));
    EXPECT_EQ(v.toString(), QStringLiteral("fpA5"));
    ASSERT_TRUE(registry.ReadProperty(*report, "PageSetup.PaperSize", v));
    EXPECT_EQ(v.toInt(), int(fpA5));
    ASSERT_TRUE(registry.WriteProperty(*band, "Options", QStringList{"boOptimisticPageBreak"}));
    ASSERT_TRUE(registry.ReadProperty(*band, "Options", v, true));
    EXPECT_EQ(v.toStringList(), QStringList{"boOptimisticPageBreak"});

    // Base properties of a class are found through its base table.
    EXPECT_NE(registry.FindProperty("TRLCustomSite", "Caption"), nullptr);
    const auto* next = registry.FindProperty("TRLReport", "NextReport");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->Kind, TRLPropertyKind::Component);
}

TEST(Registry, ParserReadsAndWritesComponents) {
    RegisterReportClasses();
    TRLReport report;
    report.SetName("RLReport1");
    auto* band = AddBand(&report, "RLBand1", btHeader, 38, 40);
    TRLExpressionParser parser;
    report.SetExpressionParser(&parser);
    EXPECT_EQ(parser.Evaluate("RLBand1.Height * 2").ToNumber(), 80);
    EXPECT_EQ(parser.Evaluate("RLBand1.BandType").ToString(), QStringLiteral("btHeader"));
    parser.Evaluate("RLBand1.Height := 50");
    EXPECT_EQ(band->Height(), 50);
    EXPECT_THROW(parser.Evaluate("RLBand9.Height"), TRLException);
    report.SetExpressionParser(nullptr);
    EXPECT_THROW(parser.Evaluate("RLBand1.Height"), TRLException);
}
