// Test-only controls, small reports, records, layout readers and page readers for the report tests.
#pragma once

#include "TestSupport.h"
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLGraphicControls.h>
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLTextControls.h>
#include <kelmora/support/RLTextMetrics.h>

#include <QFile>
#include <QStandardItemModel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace Kelmora;

namespace reporttest {

// A text control with a fixed natural size that records its caption at its client rectangle.
class FixedLabel : public TRLCustomControl {
public:
    FixedLabel(TRLCustomControl* parent, const QString& caption, int width = 161, int height = 16)
        : TRLCustomControl(parent), natural_{width, height} {
        SetAutoSizeDirection(asWidthDir);
        SetAutoSize(true);
        SetCaption(caption);
    }
    QString ClassName() const override { return QStringLiteral("TestFixedLabel"); }
    std::function<void(TRLCustomControl&, QString&, bool&)> OnText;
    TRLSize natural_;

    TRLSize CalcSize() override { return AutoSize() ? natural_ : TRLSize{Width(), Height()}; }
    void Print() override {
        TRLCustomControl::Print();
        const TRLRect r = CalcPrintClientRect();
        TRLGraphicSurface& surface = RequestParentSurface();
        BeginRecording(surface);
        surface.SetFont(Font());
        surface.SetBrush(TRLBrush{Qt::white, TRLBrushStyle::Clear});
        surface.TextRectEx(r, r.Left, r.Top, Caption(), MetaTextAlignmentLeft, MetaTextLayoutTop,
                           MetaTextFlagKeepWhole);
    }

protected:
    void DoBeforeText(QString& text, bool& printIt) override {
        if (OnText)
            OnText(*this, text, printIt);
    }
};

// A control that grows in height by `growth` while it prints, expanding its band.
class Expander : public TRLCustomControl {
public:
    Expander(TRLCustomControl* parent, int growth) : TRLCustomControl(parent), growth_(growth) {
        SetAutoSizeDirection(asHeightDir);
        SetBehavior({beSiteExpander});
        SetBounds(0, 0, 100, 20);
        SetAutoSize(true);
    }
    QString ClassName() const override { return QStringLiteral("TestExpander"); }
    TRLSize CalcSize() override {
        return {Width(),
                IsPreparing() ? SavedBounds().Bottom - SavedBounds().Top + growth_ : Height()};
    }
    int growth_;
};

template <class T> std::vector<const T*> ObjectsOf(const TRLGraphicSurface& page) {
    std::vector<const T*> result;
    for (const auto& object : page.Objects())
        if (object->Kind() == T::StaticKind)
            result.push_back(static_cast<const T*>(object.get()));
    return result;
}

template <class T> std::vector<TRLRect> BoundsOf(const TRLGraphicSurface& page) {
    std::vector<TRLRect> bounds;
    for (const T* object : ObjectsOf<T>(page))
        bounds.push_back(object->BoundsRect);
    return bounds;
}

// Prepares the report and hands back how many pages it made; -1 when preparing failed.
inline int PreparedPages(TRLCustomReport& report) {
    return report.Prepare() ? report.Storage().PageCount() : -1;
}

inline std::shared_ptr<TRLGraphicSurface> Page(const TRLCustomReport& report, int index = 0) {
    return report.Storage().Pages(index);
}

inline QStringList TextsOf(const TRLGraphicSurface& page) {
    QStringList list;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(page))
        list << t->Text;
    return list;
}

inline QStringList PageTexts(const TRLCustomReport& report, int index = 0) {
    return TextsOf(*Page(report, index));
}

inline size_t TextObjectsOfAllPages(const TRLCustomReport& report) {
    size_t count = 0;
    for (int i = 0; i < report.Storage().PageCount(); ++i)
        count += ObjectsOf<TRLTextObject>(*Page(report, i)).size();
    return count;
}

// The bounds of the first text object with that text; (-1, ...) when missing.
inline TRLRect TextBounds(const TRLGraphicSurface& page, const QString& text) {
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(page))
        if (t->Text == text)
            return t->BoundsRect;
    return {-1, -1, -1, -1};
}

inline TRLBand* AddBand(TRLCustomControl* parent, const QString& name, TRLBandType type, int top,
                        int height) {
    auto* band = new TRLBand(parent);
    band->SetName(name);
    band->SetBandType(type);
    band->SetBounds(band->Left(), top, band->Width(), height);
    return band;
}

// Records: Name "row 0", "row 1", ...; Country AR for rows 0-2, UY for 3-4, then CL.
struct RecordsHolder {
    QStandardItemModel records;
    explicit RecordsHolder(int rows) : records(rows, 2) {
        records.setHorizontalHeaderLabels({"Name", "Country"});
        for (int r = 0; r < rows; ++r) {
            records.setItem(r, 0, new QStandardItem(QStringLiteral("row %1").arg(r)));
            records.setItem(r, 1, new QStandardItem(r < 3 ? "AR" : r < 5 ? "UY" : "CL"));
        }
    }
};

// A report over those records, which outlive it.
struct RecordsReport : RecordsHolder, TRLReport {
    explicit RecordsReport(int rows) : RecordsHolder(rows) { SetDataSource(&records); }
};

// The records of a model as rows of texts under its columns.
struct Table {
    QStringList Fields;
    QList<QStringList> Rows;
    bool operator==(const Table&) const = default;
};

inline Table Cells(const QAbstractItemModel& model) {
    Table table;
    for (int c = 0; c < model.columnCount(); ++c)
        table.Fields << model.headerData(c, Qt::Horizontal).toString();
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model.columnCount(); ++c)
            row << model.index(r, c).data().toString();
        table.Rows << row;
    }
    return table;
}

inline FixedLabel* FieldLabel(TRLCustomControl* band, const QString& field,
                              const QString& prefix = {}, int width = 100, int height = 16) {
    auto* label = new FixedLabel(band, QString(), width, height);
    label->OnText = [field, prefix](TRLCustomControl& c, QString& text, bool&) {
        text = prefix + c.FieldText(field);
    };
    return label;
}

using testsupport::ErrorOf;

inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

// A report read from JSON text, with every control class of the library registered.
inline std::unique_ptr<TRLReport> ReadReport(const QByteArray& json,
                                             const QString& fileName = QStringLiteral("doc.json")) {
    RegisterTextAndGraphicClasses();
    return ReadReportLayoutFromJson(json, fileName, QString());
}

// A4, 10 mm margins (bands start at (38, 38), 718 wide), one header band of the given height.
struct OneBandReport {
    TRLReport report;
    TRLBand* band;

    explicit OneBandReport(int height = 32) {
        report.SetName(QStringLiteral("Report"));
        report.SetShowProgress(false);
        band = reporttest::AddBand(&report, QStringLiteral("Header"), btHeader, 38, height);
    }

    std::shared_ptr<TRLGraphicSurface> Prepare() {
        EXPECT_TRUE(report.Prepare());
        EXPECT_GE(report.Storage().PageCount(), 1);
        return report.Storage().Pages(0);
    }
};

// The font a control measures with, as the engine builds it.
inline QFont MeasuringFont(const TRLCustomControl& control) {
    const TRLFont font = control.Font();
    return ToQFont(font, font.PixelsPerInch);
}

} // namespace reporttest
