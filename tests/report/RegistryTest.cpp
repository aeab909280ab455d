// The class and property registry that layouts and expressions use.
#include "ReportTestSupport.h"

#include <kelmora/parser/RLExpressionParser.h>
#include <kelmora/report/RLReportClasses.h>

using namespace Kelmora;

using namespace reporttest;

// Writes by name are the draw tests', reads the parser test's; here, refusals and a set's names.
TEST(Registry, RefusesAbstractAndUnknownClassesAndBadWrites) {
    RegisterReportClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    TRLReport report;
    EXPECT_EQ(registry.Create("TRLCustomControl", &report), nullptr); // abstract
    EXPECT_EQ(registry.Create("TNoSuchThing", &report), nullptr);
    TRLCustomControl* band = registry.Create("trlband", &report);
    ASSERT_NE(dynamic_cast<TRLBand*>(band), nullptr);
    EXPECT_FALSE(registry.WriteProperty(*band, "BandType", QStringLiteral("btNothing")));
    EXPECT_FALSE(registry.WriteProperty(*band, "Caption", QStringLiteral("x"))); // not published
    EXPECT_FALSE(registry.WriteProperty(*band, "Borders.Nope", 1));
    QVariant v;
    ASSERT_TRUE(registry.WriteProperty(*band, "Options", QStringList{"boOptimisticPageBreak"}));
    ASSERT_TRUE(registry.ReadProperty(*band, "Options", v, true));
    EXPECT_EQ(v.toStringList(), QStringList{"boOptimisticPageBreak"});
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
