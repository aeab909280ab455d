/// @file
/// Text controls: the one-line label, the system-info label that prints a value the engine knows
/// (dates, page numbers, the title ...) and the multi-line memo with its word wrapping.
///
/// All three print through the caption model of TRLCustomControl: while a report prepares,
/// CanPrint sets Caption from MakeCaption after the text events, the band's adjust pass sizes the
/// control from CalcSize, and Print records the caption as text objects of the page store.
#pragma once

#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLTextExpression.h>

#include <QDateTime>
#include <QFont>
#include <QLocale>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Kelmora {

// ---- line breaking ---------------------------------------------------------------------------

/// One line cut off a text. Width is the sum of the advances of Text (a TAB counting eight
/// blanks); Wrapped tells a line that ended because the next word did not fit from one that ended
/// at a line break or at the end of the text.
struct TRLTextLine {
    QString Text;
    int Width = 0;
    bool Wrapped = false;
    bool operator==(const TRLTextLine&) const = default;
};

/// Cuts the line that starts at position off text, for lines at most maxWidth wide in font;
/// position moves to the start of the next line. A word wider than maxWidth stands alone on its
/// line and is never broken.
TRLTextLine NextTextLine(const QString& text, int& position, int maxWidth, const QFont& font);

/// Every line of text at maxWidth, or the first maxLines of them.
std::vector<TRLTextLine> BreakTextLines(const QString& text, int maxWidth, const QFont& font,
                                        size_t maxLines = SIZE_MAX);

/// The most lines a label or memo prints. Each printed line is an object of its own on the page
/// (some 700 bytes while a report prepares): a report with a text of more lines is refused naming
/// the control; a design view shows the first ones.
inline constexpr int kMaxTextLines = 100000;

// ---- labels ----------------------------------------------------------------------------------

class TRLCustomLabel : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomLabel(TRLCustomControl* parent = nullptr);

signals:
    /// The text event, which hides the control's BeforePrint of the same name (connect to
    /// TRLCustomControl::BeforePrint for that one): after that one let the label print, with the
    /// text it is about to print (empty on a blank record), and before the report's OnFilterText. A
    /// handler may change the text or clear printIt; the stored Caption keeps its design text
    /// either way.
    void BeforePrint(TRLCustomControl& sender, QString& text, bool& printIt);

public:
    /// With AutoSize: the caption followed by one blank, plus border width + 1 per drawn side.
    /// While the report prepares, a left-aligned caption that would run past the right edge of
    /// the site it prints in wraps at blanks instead, one line height per line.
    TRLSize CalcSize() override;
    void Print() override;
    /// With AutoSize: one line.
    int ReservedHeight() const override;

    /// The text computed from the records while the report prepares (see TRLTextExpression);
    /// when empty, the label prints its Caption.
    QString Expression() const { return expression_.Expression(); }
    void SetExpression(const QString& expression) { expression_.SetExpression(expression); }
    QString DisplayMask() const { return expression_.DisplayMask(); }
    void SetDisplayMask(const QString& mask) { expression_.SetDisplayMask(mask); }
    TRLTextExpression* TextExpression() override { return &expression_; }
    QString MakeCaption() override;

protected:
    void DoBeforeText(QString& text, bool& printIt) override;

private:
    /// The lines of a caption that wraps (see CalcSize); empty when it prints on one line.
    std::vector<TRLTextLine> WrappedLines(const QString& text) const;

    TRLTextExpression expression_;
};

class TRLLabel : public TRLCustomLabel {
    Q_OBJECT

public:
    explicit TRLLabel(TRLCustomControl* parent = nullptr) : TRLCustomLabel(parent) {}
};

// ---- system info -----------------------------------------------------------------------------

enum TRLInfoType : uint8_t {
    itCarbonCopy,
    itDate,
    itDetailCount,
    itFullDate,
    itHour,
    itJunction,
    itLastPageNumber,
    itMend,
    itNow,
    itPageNumber,
    itPagePreview,
    itTitle,
    itRecNo,
    itCopyNo
};
constexpr int InfoTypeCount = itCopyNo + 1;
const QStringList& InfoTypeNames();

/// The report-date texts of itDate, itFullDate, itHour and itNow in the locale's short date,
/// long date and long time formats (an empty text for any other kind). The long time never shows
/// a time zone; itNow leaves its time out at exactly midnight.
QString InfoDateText(TRLInfoType info, const QDateTime& date, const QLocale& locale = QLocale());

/// Puts value into mask: the mask up to its first "|" receives the value's TAB-separated parts
/// one by one, each replacing the first "#" still there or appended when there is none.
QString MergeInfoMask(const QString& mask, QString value);

class TRLCustomSystemInfo : public TRLCustomLabel {
    Q_OBJECT

public:
    explicit TRLCustomSystemInfo(TRLCustomControl* parent = nullptr);

    TRLInfoType Info() const { return info_; }
    void SetInfo(TRLInfoType info);
    /// The mask the value goes into; "|first;second|" after it gives the continuation texts of
    /// itJunction and itMend, and "^CLEAR" anywhere prints nothing.
    QString Text() const { return text_; }
    void SetText(const QString& text);

    QString MakeCaption() override;

protected:
    void Loaded() override;

private:
    /// The value of Info while the report prepares.
    QString InfoValue() const;
    /// Outside preparation: the friendly name or the kind's name in brackets.
    QString DisplayValue() const;

    TRLInfoType info_ = itDate;
    QString text_;
};

class TRLSystemInfo : public TRLCustomSystemInfo {
    Q_OBJECT

public:
    explicit TRLSystemInfo(TRLCustomControl* parent = nullptr) : TRLCustomSystemInfo(parent) {}
};

// ---- multi-line text -------------------------------------------------------------------------

class TRLCustomMultiLine : public TRLCustomControl {
    Q_OBJECT

public:
    explicit TRLCustomMultiLine(TRLCustomControl* parent = nullptr);

signals:
    /// The text event, as TRLCustomLabel::BeforePrint.
    void BeforePrint(TRLCustomControl& sender, QString& text, bool& printIt);

public:
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    /// Kept with the layout; lines are never cut to whole lines.
    bool IntegralHeight() const { return integralHeight_; }
    void SetIntegralHeight(bool v) { integralHeight_ = v; }

    /// Width stays; with AutoSize the height of the caption's lines at the current width.
    TRLSize CalcSize() override;
    void Print() override;
    /// With AutoSize: the room the layout gives the memo (its height, and on down to the nearest
    /// control below it), and at least one line. A memo settles to its text's height when its
    /// layout loads, but its band keeps that room for it.
    int ReservedHeight() const override;

    /// Lays text out in lines of at most maxWidth into rect, stopping once maxHeight is passed;
    /// records each line onto target when one is given. Returns the widest line's width and the
    /// height of the lines.
    /// Stops at kMaxTextLines, refusing a report being prepared.
    TRLSize DrawLines(const QString& text, TRLGraphicSurface* target, TRLTextAlignment alignment,
                      int maxHeight, int maxWidth, const TRLRect& rect) const;

protected:
    void DoBeforeText(QString& text, bool& printIt) override;
    void Loaded() override;

private:
    bool wordWrap_ = true;
    bool integralHeight_ = false;
    /// The room read with the layout (0 for a memo made in code).
    int layoutHeight_ = 0;
};

class TRLCustomMemo : public TRLCustomMultiLine {
    Q_OBJECT

public:
    explicit TRLCustomMemo(TRLCustomControl* parent = nullptr);

    QStringList Lines() const { return lines_; }
    void SetLines(const QStringList& lines);

    /// The lines, each followed by CR LF; outside preparation a blank text shows the display name.
    /// While the report prepares, an Expression's text replaces the lines.
    QString MakeCaption() override;

    /// As for labels: the text computed from the records while the report prepares.
    QString Expression() const { return expression_.Expression(); }
    void SetExpression(const QString& expression) { expression_.SetExpression(expression); }
    QString DisplayMask() const { return expression_.DisplayMask(); }
    void SetDisplayMask(const QString& mask) { expression_.SetDisplayMask(mask); }
    TRLTextExpression* TextExpression() override { return &expression_; }

private:
    QStringList lines_;
    TRLTextExpression expression_;
};

class TRLMemo : public TRLCustomMemo {
    Q_OBJECT

public:
    explicit TRLMemo(TRLCustomControl* parent = nullptr) : TRLCustomMemo(parent) {}
};

} // namespace Kelmora
