// The class and property registry that layouts and expressions use.
#include "ReportTestSupport.h"

#include "RLExpressionParser.h"
#include "RLReportClasses.h"

using namespace reporttest;

TEST(Registry, CreatesControlsAndSetsPropertiesByName) {
    RegisterReportClasses();
    RegisterReportClasses(); // twice is harmless
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    TRLCustomControl* created = registry.Create("TRLReport", nullptr);
    ASSERT_NE(created, nullptr);
    std::unique_ptr<TRLCustomControl> owner(created);
    auto* report = dynamic_cast<TRLReport*>(created);
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(registry.Create("TRLCustomControl", report), nullptr); // abstract
    EXPECT_EQ(registry.Create("TNoSuchThing", report), nullptr);

    report->BeginLoad();
    TRLCustomControl* band = registry.Create("trlband", report);
    ASSERT_NE(dynamic_cast<TRLBand*>(band), nullptr);
    band->SetName("RLBand1");
    EXPECT_TRUE(registry.WriteProperty(*band, "BandType", QStringLiteral("btHeader")));
    EXPECT_TRUE(registry.WriteProperty(*band, "Height", 131));
    EXPECT_TRUE(registry.WriteProperty(*band, "Borders.Sides", QStringLiteral("sdAll")));
    EXPECT_TRUE(registry.WriteProperty(*band, "Borders.Width", 2));
    EXPECT_TRUE(registry.WriteProperty(*band, "Options", QStringList{"boOptimisticPageBreak"}));
    EXPECT_FALSE(registry.WriteProperty(*band, "BandType", QStringLiteral("btNothing")));
    EXPECT_FALSE(registry.WriteProperty(*band, "Caption", QStringLiteral("x"))); // not published
    EXPECT_FALSE(registry.WriteProperty(*band, "Borders.Nope", 1));
    report->EndLoad();
    EXPECT_TRUE(registry.WriteProperty(*report, "PageSetup.PaperSize", QStringLiteral("fpA5")));
    EXPECT_TRUE(registry.WriteProperty(*report, "Margins.LeftMargin", 20.0));
    EXPECT_TRUE(
        registry.WriteProperty(*report, "Font", QVariant::fromValue(TRLFont{"Courier", 12})));

    auto* b = static_cast<TRLBand*>(band);
    EXPECT_EQ(std::tuple(b->BandType(), b->Height(), b->Borders().Width(), b->Left()),
              std::tuple(btHeader, 131, 2, 76));
    EXPECT_TRUE(b->Borders().DrawLeft() && b->Options().Contains(boOptimisticPageBreak));
    EXPECT_EQ(report->Width(), 559);
    EXPECT_EQ(b->Font().Name, QStringLiteral("Courier"));

    QVariant v;
    ASSERT_TRUE(registry.ReadProperty(*report, "PageSetup.PaperSize", v, true));
    EXPECT_EQ(v.toString(), QStringLiteral("fpA5"));
    ASSERT_TRUE(registry.ReadProperty(*report, "PageSetup.PaperSize", v));
    EXPECT_EQ(v.toInt(), int(fpA5));
    ASSERT_TRUE(registry.ReadProperty(*band, "Options", v, true));
    EXPECT_EQ(v.toStringList(), QStringList{"boOptimisticPageBreak"});

    // Base properties of a class are found through its base table.
    EXPECT_NE(registry.FindProperty("TRLCustomSite", "Caption"), nullptr);
    EXPECT_NE(registry.FindProperty("TRLReport", "PreviewOptions"), nullptr);
    const auto* next = registry.FindProperty("TRLReport", "NextReport");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->Kind, TRLPropertyKind::Component);
}

TEST(Registry, ParserReadsAndWritesComponents) {
    RegisterReportClasses();
    TRLReport report;
    report.SetName("RLReport1");
    report.SetTitle("Kelmora");
    auto* band = AddBand(&report, "RLBand1", btHeader, 38, 40);
    TRLExpressionParser parser;
    report.SetExpressionParser(&parser);
    EXPECT_EQ(parser.Evaluate("RLBand1.Height * 2").ToNumber(), 80);
    EXPECT_EQ(parser.Evaluate("RLReport1.Title").ToString(), QStringLiteral("Kelmora"));
    EXPECT_EQ(parser.Evaluate("RLBand1.BandType").ToString(), QStringLiteral("btHeader"));
    parser.Evaluate("RLBand1.Height := 50");
    EXPECT_EQ(band->Height(), 50);
    EXPECT_THROW(parser.Evaluate("RLBand9.Height"), TRLException);
    report.SetExpressionParser(nullptr);
    EXPECT_THROW(parser.Evaluate("RLBand1.Height"), TRLException);
}
