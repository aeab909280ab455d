// Control kinds and class names (from the controls' meta-objects) and the lookups up the tree.
#include "ReportTestSupport.h"

using namespace Kelmora;

using namespace reporttest;

namespace {

// The family flags that ControlCast reads are set by hand in constructors: each must agree with
// the class hierarchy, as qobject_cast does.
template <class T> void ExpectSameAnswer(TRLCustomControl* control) {
    const TRLCustomControl* constant = control;
    const auto byHierarchy = std::pair(dynamic_cast<T*>(control), dynamic_cast<const T*>(constant));
    EXPECT_EQ(std::pair(qobject_cast<T*>(control), qobject_cast<const T*>(constant)), byHierarchy);
    EXPECT_EQ(std::pair(ControlCast<T>(control), ControlCast<T>(constant)), byHierarchy)
        << control->ClassName().toStdString();
}

void ExpectKindsAsTheHierarchySays(TRLCustomControl* control) {
    ExpectSameAnswer<TRLCustomSite>(control);
    ExpectSameAnswer<TRLCustomBand>(control);
    ExpectSameAnswer<TRLCustomPager>(control);
    ExpectSameAnswer<TRLCustomSkipper>(control);
    ExpectSameAnswer<TRLCustomGroup>(control);
    ExpectSameAnswer<TRLCustomReport>(control);
}

// A report of its own subclass: the kinds come with the class it derives from, and so does the
// class name unless the subclass names itself.
class DerivedReport : public TRLReport {
public:
    using TRLReport::TRLReport;
    QString ClassName() const override { return QStringLiteral("TestDerivedReport"); }
};
class UnnamedReport : public TRLReport {
public:
    using TRLReport::TRLReport;
};

} // namespace

TEST(ControlKinds, AgreeWithDynamicCastForEveryRegisteredClass) {
    RegisterTextAndGraphicClasses();
    TRLReport owner;
    auto* band = new TRLBand(&owner);
    int created = 0;
    for (const QString& name : TRLClassRegistry::Instance().ClassNames()) {
        TRLCustomControl* control = TRLClassRegistry::Instance().Create(name, band);
        if (!control)
            continue; // settings objects and abstract bases
        ++created;
        EXPECT_EQ(control->ClassName(), name);
        ExpectKindsAsTheHierarchySays(control);
    }
    EXPECT_GE(created, 8); // bands, groups, reports and the five kinds of printed control

    // The abstract bases and classes from elsewhere answer through what they derive from.
    std::vector<TRLCustomControl*> others{new TRLCustomSite(band),   new TRLCustomBandSet(band),
                                          new TRLCustomPager(band),  new TRLCustomSkipper(band),
                                          new FixedLabel(band, "x"), new DerivedReport(band)};
    for (TRLCustomControl* control : others)
        ExpectKindsAsTheHierarchySays(control);
    ExpectKindsAsTheHierarchySays(&owner);
    EXPECT_EQ(qobject_cast<TRLCustomReport*>(static_cast<TRLCustomControl*>(nullptr)), nullptr);
    EXPECT_EQ(
        std::tuple(others[0]->ClassName(), others[5]->ClassName(), UnnamedReport(band).ClassName()),
        std::tuple(QString("TRLCustomSite"), QString("TestDerivedReport"), QString("TRLReport")));
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

// Everything below a moved control answers for its new place, not only the control itself.
TEST(ControlLookups, FollowControlsMovedBetweenReports) {
    RecordsReport first(1);
    RecordsReport second(2); // printing two records shows which report ran the label
    auto* firstBand = AddBand(&first, QStringLiteral("Detail"), btDetail, 0, 20);
    auto* secondBand = AddBand(&second, QStringLiteral("Detail"), btDetail, 0, 20);
    auto* label = FieldLabel(firstBand, QStringLiteral("Name"));
    // Asked before the moves, so that a lookup that remembers has something to remember.
    ASSERT_EQ(label->ParentReport(), &first);
    ASSERT_EQ(label->ParentSkipper(), &first);

    auto place = [&] {
        return std::tuple(label->ParentReport(), label->ParentPager(), label->ParentBand(),
                          label->ParentSkipper());
    };
    label->SetParent(secondBand);
    EXPECT_EQ(place(), std::tuple(&second, &second, secondBand, &second));

    // The band moves with the label on it.
    secondBand->SetParent(&first);
    EXPECT_EQ(place(), std::tuple(&first, &first, secondBand, &first));

    // Out of every report: nothing encloses it, and it never counts as preparing.
    auto* loose = new TRLBand(nullptr);
    secondBand->SetParent(loose);
    EXPECT_EQ(place(), std::tuple(nullptr, nullptr, secondBand, nullptr));
    EXPECT_FALSE(label->IsPreparing());
    EXPECT_THROW(label->RequireParentReport(), TRLException);

    // Back into the second report for a run: its state and its record are the ones seen.
    secondBand->SetParent(&second);
    delete loose;
    bool preparingSeen = false;
    label->OnText = [&](TRLCustomControl& sender, QString& text, bool&) {
        // The other report's controls stay in design state meanwhile.
        preparingSeen = sender.IsPreparing() && !firstBand->IsPreparing();
        text = sender.FieldText(QStringLiteral("Name"));
    };
    ASSERT_TRUE(second.Prepare());
    EXPECT_TRUE(preparingSeen);
    EXPECT_EQ(PageTexts(second), (QStringList{"row 0", "row 1"}));
    ASSERT_TRUE(first.Prepare());
    EXPECT_TRUE(PageTexts(first).isEmpty());
}
