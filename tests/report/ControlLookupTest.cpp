// What a control is and what encloses it: the kind answers that replace dynamic_cast, and the
// lookups up the tree (report, band, pager, skipper) as controls move between parents.
#include "ReportTestSupport.h"

using namespace reporttest;

namespace {

// Whether ControlCast and dynamic_cast agree on one kind for a control.
template <class T> void ExpectSameAnswer(TRLCustomControl* control, const char* kind) {
    EXPECT_EQ(ControlCast<T>(control), dynamic_cast<T*>(control))
        << control->ClassName().toStdString() << " as " << kind;
    const TRLCustomControl* constant = control;
    EXPECT_EQ(ControlCast<T>(constant), dynamic_cast<const T*>(constant))
        << control->ClassName().toStdString() << " as const " << kind;
}

void ExpectKindsAsTheHierarchySays(TRLCustomControl* control) {
    ExpectSameAnswer<TRLCustomSite>(control, "site");
    ExpectSameAnswer<TRLCustomBand>(control, "band");
    ExpectSameAnswer<TRLCustomPager>(control, "pager");
    ExpectSameAnswer<TRLCustomSkipper>(control, "skipper");
    ExpectSameAnswer<TRLCustomGroup>(control, "group");
    ExpectSameAnswer<TRLCustomReport>(control, "report");
}

// A report of its own subclass: the kinds come with the class it derives from.
class DerivedReport : public TRLReport {
public:
    using TRLReport::TRLReport;
    QString ClassName() const override { return QStringLiteral("TestDerivedReport"); }
};

// A report with one detail band over one record whose "Who" field holds who.
struct NamedReport {
    QStandardItemModel records{1, 1};
    TRLReport report;
    TRLBand* band;

    explicit NamedReport(const QString& who) {
        records.setHorizontalHeaderLabels({"Who"});
        records.setItem(0, 0, new QStandardItem(who));
        report.SetShowProgress(false);
        report.SetDataSource(&records);
        band = AddBand(&report, QStringLiteral("Detail"), btDetail, 0, 20);
    }
};

} // namespace

TEST(ControlKinds, AgreeWithDynamicCastForEveryRegisteredClass) {
    RegisterTextAndGraphicClasses();
    TRLReport owner;
    auto* band = new TRLBand(&owner);
    QStringList created;
    for (const QString& name : TRLClassRegistry::Instance().ClassNames()) {
        TRLCustomControl* control = TRLClassRegistry::Instance().Create(name, band);
        if (!control)
            continue; // settings objects and abstract bases
        created << name;
        EXPECT_EQ(control->ClassName(), name);
        ExpectKindsAsTheHierarchySays(control);
    }
    for (const char* name : {"TRLBand", "TRLGroup", "TRLReport", "TRLLabel", "TRLSystemInfo",
                             "TRLMemo", "TRLImage", "TRLDraw"})
        EXPECT_TRUE(created.contains(name)) << name;

    // The abstract bases and classes from elsewhere answer through what they derive from.
    std::vector<TRLCustomControl*> others{new TRLCustomSite(band),   new TRLCustomBandSet(band),
                                          new TRLCustomPager(band),  new TRLCustomSkipper(band),
                                          new FixedLabel(band, "x"), new DerivedReport(band)};
    for (TRLCustomControl* control : others)
        ExpectKindsAsTheHierarchySays(control);
    ExpectKindsAsTheHierarchySays(&owner);
    EXPECT_EQ(ControlCast<TRLCustomReport>(static_cast<TRLCustomControl*>(nullptr)), nullptr);
}

TEST(ControlLookups, NestedReportsAnswerForTheirOwnTree) {
    TRLReport outer;
    auto* outerBand = AddBand(&outer, QStringLiteral("Outer"), btDetail, 0, 40);
    auto* inner = new TRLReport(outerBand);
    auto* innerBand = AddBand(inner, QStringLiteral("Inner"), btDetail, 0, 20);
    auto* label = new FixedLabel(innerBand, QStringLiteral("x"));

    EXPECT_EQ(std::tuple(label->ParentReport(), label->ParentBand(), label->ParentPager(),
                         label->ParentSkipper(), label->ParentSite()),
              std::tuple(inner, innerBand, inner, inner, innerBand));
    // A report is its own report, but its pager and band are the outer ones.
    EXPECT_EQ(std::tuple(inner->ParentReport(), inner->ParentPager(), inner->ParentBand()),
              std::tuple(inner, &outer, outerBand));
    EXPECT_EQ(outerBand->ParentReport(), &outer);
}

// A control that moves answers for its new place at once, and so does everything below it: a
// remembered answer that only the moved control forgets would leave its children behind.
TEST(ControlLookups, FollowControlsMovedBetweenReports) {
    NamedReport first(QStringLiteral("first"));
    NamedReport second(QStringLiteral("second"));
    auto* label = FieldLabel(first.band, QStringLiteral("Who"));
    // Asked before the moves, so that a lookup that remembers has something to remember.
    ASSERT_EQ(label->ParentReport(), &first.report);
    ASSERT_EQ(label->ParentSkipper(), &first.report);

    // Where the label now is: its report, pager, band and skipper.
    auto place = [&] {
        return std::tuple(label->ParentReport(), label->ParentPager(), label->ParentBand(),
                          label->ParentSkipper());
    };
    label->SetParent(second.band);
    EXPECT_EQ(place(), std::tuple(&second.report, &second.report, second.band, &second.report));

    // The band moves with the label on it.
    second.band->SetParent(&first.report);
    EXPECT_EQ(place(), std::tuple(&first.report, &first.report, second.band, &first.report));

    // Out of every report: nothing encloses it, and it never counts as preparing.
    auto* loose = new TRLBand(nullptr);
    second.band->SetParent(loose);
    EXPECT_EQ(place(), std::tuple(nullptr, nullptr, second.band, nullptr));
    EXPECT_FALSE(label->IsPreparing());
    EXPECT_THROW(label->RequireParentReport(), TRLException);

    // Back into the second report for a run: its state and its record are the ones seen.
    second.band->SetParent(&second.report);
    delete loose;
    bool preparingSeen = false;
    label->OnText = [&](TRLCustomControl& sender, QString& text, bool&) {
        preparingSeen = sender.IsPreparing();
        text = sender.FieldText(QStringLiteral("Who"));
    };
    ASSERT_TRUE(second.report.Prepare());
    EXPECT_TRUE(preparingSeen);
    EXPECT_EQ(PageTexts(second.report), QStringList{"second"});
    ASSERT_TRUE(first.report.Prepare());
    EXPECT_TRUE(PageTexts(first.report).isEmpty());
}

// While a report prepares, its controls take the run-time caption; once it is prepared, and in
// a report that is not preparing, the stored one.
TEST(ControlLookups, PreparingStateFollowsTheEnclosingReport) {
    NamedReport running(QStringLiteral("r"));
    NamedReport idle(QStringLiteral("i"));
    auto* label = new FixedLabel(idle.band, QStringLiteral("design"));
    auto* mover = new FixedLabel(running.band, QStringLiteral("mover"));
    QStringList seen;
    mover->OnText = [&](TRLCustomControl& sender, QString& text, bool&) {
        // While the running report prepares, the idle one's control stays in design state, and
        // the moving control keeps the run's state only while it is in the running report.
        seen << QStringLiteral("%1 %2")
                    .arg(static_cast<int>(sender.IsPreparing()))
                    .arg(static_cast<int>(label->IsPreparing()));
        label->SetCaption(QStringLiteral("set while the other runs"));
        text = QStringLiteral("run");
    };
    ASSERT_TRUE(running.report.Prepare());
    EXPECT_EQ(seen, QStringList{"1 0"});
    // Set outside any preparation of its own report, the caption was stored.
    EXPECT_EQ(label->Caption(), QStringLiteral("set while the other runs"));
    EXPECT_EQ(mover->Caption(), QStringLiteral("mover"));
    EXPECT_FALSE(mover->IsPreparing());
}
