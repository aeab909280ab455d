#include <kelmora/report/RLTextControls.h>

#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLTextMetrics.h>

#include <QRegularExpression>

#include <algorithm>
#include <climits>

namespace Kelmora {

namespace {

const QString kClear = QStringLiteral("^CLEAR");
const QString kLastPageMacro = QStringLiteral("{LastPageNumber}");

// Page records keep alignment and layout as the ordinal plus one.
uint8_t MetaAlignment(TRLTextAlignment a) {
    return static_cast<uint8_t>(a + 1);
}
uint8_t MetaLayout(TRLTextLayout l) {
    return static_cast<uint8_t>(l + 1);
}

// The font as the page store measures it, so that sizes found before printing match what is
// recorded.
QFont MeasuringFont(const TRLFont& font) {
    return ToQFont(font, font.PixelsPerInch);
}

// Room that drawn border sides take beyond the text: their width and one pixel of air each.
int BorderExtraWidth(const TRLBorders& b) {
    return (b.CanDrawLeft() ? b.Width() + 1 : 0) + (b.CanDrawRight() ? b.Width() + 1 : 0);
}
int BorderExtraHeight(const TRLBorders& b) {
    return (b.CanDrawTop() ? b.Width() + 1 : 0) + (b.CanDrawBottom() ? b.Width() + 1 : 0);
}

bool IsBlankOrTab(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The long time format of a locale without its time-zone field: report times are wall-clock
// times, and a zone name ("UTC", "(CET)") only clutters a printed hour.
QString LongTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
    QString result;
    // Quoted literals are copied untouched; the zone field lives outside them.
    qsizetype i = 0;
    while (i < format.size()) {
        if (format[i] == QLatin1Char('\'')) {
            qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            end = end < 0 ? format.size() : end + 1;
            result += format.mid(i, end - i);
            i = end;
            continue;
        }
        qsizetype end = format.indexOf(QLatin1Char('\''), i);
        if (end < 0)
            end = format.size();
        QString plain = format.mid(i, end - i);
        plain.remove(zone);
        result += plain;
        i = end;
    }
    return result.trimmed();
}

// "|first;second|" of a system-info mask, with defaults for the parts left empty.
struct ContinuationTexts {
    QString First;
    QString Second;
};

ContinuationTexts ParseContinuation(const QString& mask, const QString& defaultFirst,
                                    const QString& defaultSecond) {
    QString part;
    const qsizetype bar = mask.indexOf(QLatin1Char('|'));
    if (bar >= 0) {
        const qsizetype next = mask.indexOf(QLatin1Char('|'), bar + 1);
        part = next < 0 ? mask.mid(bar + 1) : mask.mid(bar + 1, next - bar - 1);
    }
    ContinuationTexts texts;
    const qsizetype semicolon = part.indexOf(QLatin1Char(';'));
    texts.First = semicolon < 0 ? part : part.left(semicolon);
    texts.Second = semicolon < 0 ? QString() : part.mid(semicolon + 1);
    if (texts.First.isEmpty())
        texts.First = defaultFirst;
    if (texts.Second.isEmpty())
        texts.Second = defaultSecond;
    return texts;
}

} // namespace

// ---- labels ----------------------------------------------------------------------------------

TRLCustomLabel::TRLCustomLabel(TRLCustomControl* parent) : TRLCustomControl(parent) {
    SetBounds(Left(), Top(), 65, 17);
    SetAutoSizeDirection(asWidthDir);
    SetAutoSize(true);
}

QString TRLCustomLabel::MakeCaption() {
    if (IsPreparing() && !expression_.IsEmpty())
        return ExpressionText(expression_);
    return TRLCustomControl::MakeCaption();
}

void TRLCustomLabel::DoBeforeText(QString& text, bool& printIt) {
    if (PrintEventsHeard())
        emit BeforePrint(*this, text, printIt);
}

int TRLCustomLabel::ReservedHeight() const {
    if (!AutoSize())
        return 0;
    return RLTextHeight(MeasuringFont(Font())) + BorderExtraHeight(Borders());
}

std::vector<TRLTextLine> TRLCustomLabel::WrappedLines(const QString& text) const {
    // Only a left-aligned label grows to the right, and only a printed one wraps: at design time
    // a site's width may not be final yet.
    if (!AutoSize() || !IsPreparing() || Alignment() == taRightJustify || Alignment() == taCenter)
        return {};
    // A macro ("{LastPageNumber}") becomes its value only when the page is drawn, usually far
    // narrower than its name: measured now, the caption would wrap for text it never prints.
    const qsizetype open = text.indexOf(QLatin1Char('{'));
    if (open >= 0 && text.indexOf(QLatin1Char('}'), open + 1) > open)
        return {};
    const TRLCustomSite* site = ParentSite();
    if (!site)
        return {};
    const QFont font = MeasuringFont(Font());
    const int room = site->ClientRect().Right - AbsoluteBounds().Left - BorderExtraWidth(Borders());
    if (RLTextWidth(font, text + QLatin1Char(' ')) <= room)
        return {};
    // Each line keeps the trailing blank that a one-line caption has.
    std::vector<TRLTextLine> lines = BreakTextLines(
        text, room - RLTextWidth(font, QStringLiteral(" ")), font, kMaxTextLines + 1);
    if (lines.size() > static_cast<size_t>(kMaxTextLines))
        throw TRLException(QStringLiteral("%1: more than %2 lines of text, the most a label may "
                                          "print")
                               .arg(Name())
                               .arg(kMaxTextLines));
    if (lines.size() < 2)
        return {};
    return lines;
}

TRLSize TRLCustomLabel::CalcSize() {
    if (!AutoSize())
        return {Width(), Height()};
    QString text = Caption();
    if (text.isEmpty() && !IsPreparing())
        text = Name();
    const QFont font = MeasuringFont(Font());
    const std::vector<TRLTextLine> lines = WrappedLines(text);
    if (!lines.empty()) {
        int widest = 0;
        for (const TRLTextLine& line : lines)
            widest = std::max(widest, line.Width);
        return {widest + RLTextWidth(font, QStringLiteral(" ")) + BorderExtraWidth(Borders()),
                static_cast<int>(lines.size()) * RLTextHeight(font) + BorderExtraHeight(Borders())};
    }
    return {RLTextWidth(font, text + QLatin1Char(' ')) + BorderExtraWidth(Borders()),
            RLTextHeight(font) + BorderExtraHeight(Borders())};
}

void TRLCustomLabel::Print() {
    TRLCustomControl::Print();
    const TRLRect rect = CalcPrintClientRect();
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    surface.SetFont(Font());
    const QString text = Caption();
    // The text is measured with a trailing blank and indented by half a blank, so that it never
    // touches the control's edges. A width is the sum of its characters' advances, so the blank
    // is added to the text's, not to the text.
    const int space = surface.SpaceWidth();
    const int w = static_cast<int>(
        std::min<long long>(static_cast<long long>(surface.TextWidth(text)) + space, INT32_MAX));
    const int h = surface.TextHeight(text);
    int x = rect.Left + space / 2;
    if (Alignment() == taRightJustify)
        x = rect.Right - w + space / 2;
    else if (Alignment() == taCenter)
        x = (rect.Left + rect.Right - w) / 2 + space / 2;
    int y = rect.Top;
    if (Layout() == tlCenter)
        y = (rect.Top + rect.Bottom - h) / 2;
    else if (Layout() == tlBottom)
        y = rect.Bottom - h;
    surface.SetBrush(TRLBrush{Color(), TRLBrushStyle::Clear});
    TRLMetaTextFlags flags = MetaTextFlagKeepWhole;
    if (AutoSize())
        flags |= MetaTextFlagNoClipping;
    const std::vector<TRLTextLine> lines = WrappedLines(text);
    if (lines.empty()) {
        surface.TextRectEx(rect, x, y, text, MetaAlignment(Alignment()), MetaLayout(Layout()),
                           flags);
        return;
    }
    // A wrapped caption fills the label from its top, line under line.
    const int lineHeight = RLTextHeight(MeasuringFont(Font()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const int top = rect.Top + static_cast<int>(i) * lineHeight;
        const TRLRect lineRect{rect.Left, top, rect.Right, top + lineHeight};
        surface.TextRectEx(lineRect, x, top, lines[i].Text, MetaAlignment(Alignment()),
                           MetaTextLayoutTop, flags);
    }
}

// ---- system info -----------------------------------------------------------------------------

const QStringList& InfoTypeNames() {
    static const QStringList names = {
        "itCarbonCopy",  "itDate",           "itDetailCount", "itFullDate", "itHour",
        "itJunction",    "itLastPageNumber", "itMend",        "itNow",      "itPageNumber",
        "itPagePreview", "itTitle",          "itRecNo",       "itCopyNo"};
    return names;
}

QString InfoDateText(TRLInfoType info, const QDateTime& date, const QLocale& locale) {
    const QString shortDate = locale.toString(date.date(), locale.dateFormat(QLocale::ShortFormat));
    switch (info) {
    case itDate:
        return shortDate;
    case itFullDate:
        return locale.toString(date.date(), locale.dateFormat(QLocale::LongFormat));
    case itHour:
        return locale.toString(date.time(), LongTimeFormat(locale));
    case itNow:
        if (date.time() == QTime(0, 0))
            return shortDate;
        return shortDate + QLatin1Char(' ') + locale.toString(date.time(), LongTimeFormat(locale));
    default:
        return QString();
    }
}

QString MergeInfoMask(const QString& mask, QString value) {
    const qsizetype bar = mask.indexOf(QLatin1Char('|'));
    QString result = bar < 0 ? mask : mask.left(bar);
    // At least one pass: an empty value still takes the place of one "#".
    do {
        const qsizetype tab = value.indexOf(QLatin1Char('\t'));
        const QString part = tab < 0 ? value : value.left(tab);
        value = tab < 0 ? QString() : value.mid(tab + 1);
        const qsizetype mark = result.indexOf(QLatin1Char('#'));
        if (mark >= 0)
            result.replace(mark, 1, part);
        else
            result += part;
    } while (!value.isEmpty());
    return result;
}

TRLCustomSystemInfo::TRLCustomSystemInfo(TRLCustomControl* parent) : TRLCustomLabel(parent) {
    CaptionChanged();
}

void TRLCustomSystemInfo::SetInfo(TRLInfoType info) {
    if (info == info_ || info >= InfoTypeCount)
        return;
    info_ = info;
    CaptionChanged();
}

void TRLCustomSystemInfo::SetText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    CaptionChanged();
}

void TRLCustomSystemInfo::Loaded() {
    // The name is known only now; the design caption shows it.
    CaptionChanged();
    TRLCustomLabel::Loaded();
}

QString TRLCustomSystemInfo::DisplayValue() const {
    if (!FriendlyName().isEmpty())
        return FriendlyName();
    auto bracketed = [](const char* name) {
        return QLatin1Char('(') + QLatin1String(name) + QLatin1Char(')');
    };
    static const char* const names[] = {
        "CarbonCopy", "Date", "DetailCount", "FullDate", "Hour",  "Junction", "LastPageNumber",
        "Mend",       "Now",  "PageNumber",  nullptr,    "Title", "RecNo",    "CopyNo"};
    if (info_ == itPagePreview)
        return bracketed("PageNumber") + QLatin1Char('\t') + bracketed("LastPageNumber");
    return bracketed(names[info_]);
}

QString TRLCustomSystemInfo::InfoValue() const {
    TRLCustomReport& report = RequireParentReport();
    switch (info_) {
    case itCarbonCopy: {
        const TRLCustomBand* band = ParentBand();
        return QString::number((band ? band->CarbonCopy() : 0) + 1);
    }
    case itDate:
    case itFullDate:
    case itHour:
    case itNow:
        return InfoDateText(info_, report.ReportDate());
    case itDetailCount:
        return QString::number(RequireParentPager().DetailCount());
    case itJunction: {
        const ContinuationTexts texts =
            ParseContinuation(text_, RLMessages[mkContinues], RLMessages[mkEnd]);
        return report.RootReport().ReportState() == rsFinishing ? texts.Second : texts.First;
    }
    case itLastPageNumber:
        return kLastPageMacro;
    case itMend: {
        const ContinuationTexts texts =
            ParseContinuation(text_, RLMessages[mkContinuation], kClear);
        return RequireParentPager().DetailCount() < 1 ? texts.Second : texts.First;
    }
    case itPageNumber:
        return QString::number(report.PageNumber());
    case itPagePreview:
        return QString::number(report.PageNumber()) + QLatin1Char('\t') + kLastPageMacro;
    case itTitle:
        return report.Title();
    case itRecNo:
        return QString::number(RequireParentSkipper().RecNo());
    case itCopyNo:
        return QString::number(RequireParentSkipper().CopyNo());
    }
    return QString();
}

QString TRLCustomSystemInfo::MakeCaption() {
    const QString value = IsPreparing() ? InfoValue() : DisplayValue();
    if (value.contains(kClear))
        return QString();
    const QString result = MergeInfoMask(text_, value);
    // A mask that asks to clear prints nothing whatever the value.
    if (result.contains(kClear))
        return QString();
    return result;
}

// ---- line breaking ---------------------------------------------------------------------------

TRLTextLine NextTextLine(const QString& text, int& position, int maxWidth, const QFont& font) {
    const int blank = RLTextWidth(font, QStringLiteral(" "));
    const int length = static_cast<int>(text.size());
    const int start = position;
    int p = position;
    int width = 0;
    bool hasWord = false;
    int wordEnd = start;    // end of the last word that fitted
    int widthAtWordEnd = 0; // and the line's width there
    TRLTextLine line;
    for (;;) {
        if (p >= length) {
            line.Text = text.mid(start);
            line.Width = width;
            break;
        }
        const QChar c = text[p];
        if (IsBlankOrTab(c)) {
            if (width > maxWidth && hasWord) {
                line.Text = text.mid(start, p - start);
                line.Width = width;
                line.Wrapped = true;
                while (p < length && IsBlankOrTab(text[p]))
                    ++p;
                break;
            }
            width += c == QLatin1Char('\t') ? 8 * blank : blank;
            ++p;
        } else if (c == QLatin1Char('\r')) {
            line.Text = text.mid(start, p - start);
            line.Width = width;
            ++p;
            if (p < length && text[p] == QLatin1Char('\n'))
                ++p;
            break;
        } else {
            // A word runs to the next blank, TAB or CR; a lone LF is part of it.
            const int wordStart = p;
            while (p < length && !IsBlankOrTab(text[p]) && text[p] != QLatin1Char('\r'))
                ++p;
            width += RLTextWidth(font, text.mid(wordStart, p - wordStart));
            if (width > maxWidth && hasWord) {
                line.Text = text.mid(start, wordEnd - start);
                line.Width = widthAtWordEnd;
                line.Wrapped = true;
                p = wordStart;
                break;
            }
            hasWord = true;
            wordEnd = p;
            widthAtWordEnd = width;
        }
    }
    position = p;
    return line;
}

std::vector<TRLTextLine> BreakTextLines(const QString& text, int maxWidth, const QFont& font,
                                        size_t maxLines) {
    std::vector<TRLTextLine> lines;
    int position = 0;
    while (position < text.size() && lines.size() < maxLines)
        lines.push_back(NextTextLine(text, position, maxWidth, font));
    return lines;
}

// ---- multi-line text -------------------------------------------------------------------------

TRLCustomMultiLine::TRLCustomMultiLine(TRLCustomControl* parent) : TRLCustomControl(parent) {
    SetBounds(Left(), Top(), 185, 89);
    SetAutoSizeDirection(asHeightDir);
    SetAutoSize(true);
    // Last: taking its first size must not resize the band the memo is created in.
    SetBehavior({beSiteExpander});
}

void TRLCustomMultiLine::SetWordWrap(bool v) {
    if (v == wordWrap_)
        return;
    wordWrap_ = v;
    CaptionChanged();
}

void TRLCustomMultiLine::DoBeforeText(QString& text, bool& printIt) {
    if (PrintEventsHeard())
        emit BeforePrint(*this, text, printIt);
}

void TRLCustomMultiLine::Loaded() {
    // Before the memo settles to its text: the room the layout gives it, its own height and on
    // down to the nearest control that the layout puts below it.
    layoutHeight_ = Height();
    if (const TRLCustomControl* parent = Parent()) {
        int nearest = INT_MAX;
        for (const TRLCustomControl* c : parent->Controls())
            if (c != this && c->Top() >= Top() + Height())
                nearest = std::min(nearest, c->Top());
        if (nearest != INT_MAX)
            layoutHeight_ = nearest - Top();
    }
    // A design caption may show the name, known only now.
    CaptionChanged();
    TRLCustomControl::Loaded();
}

TRLSize TRLCustomMultiLine::DrawLines(const QString& text, TRLGraphicSurface* target,
                                      TRLTextAlignment alignment, int maxHeight, int maxWidth,
                                      const TRLRect& rect) const {
    const QFont font = MeasuringFont(Font());
    const int lineHeight = RLTextHeight(font);
    // Without word wrap the maximum width is unlimited; the line rectangles stay those of the
    // control rather than reaching past any device coordinate.
    const int rectWidth = rect.Right - rect.Left;
    const int lineRight = rect.Left + std::min(maxWidth, std::max(rectWidth, 0));
    int y = 0;
    int widest = 0;
    int position = 0;
    int count = 0;
    while (position < text.size()) {
        if (++count > kMaxTextLines) {
            if (IsPreparing())
                throw TRLException(
                    QStringLiteral("%1: more than %2 lines of text, the most a memo may print")
                        .arg(Name())
                        .arg(kMaxTextLines));
            break;
        }
        const TRLTextLine line = NextTextLine(text, position, maxWidth, font);
        widest = std::max(widest, line.Width);
        if (target) {
            const TRLRect lineRect{rect.Left, rect.Top + y, lineRight,
                                   std::min(rect.Top + y + lineHeight, rect.Bottom)};
            // The last line of a paragraph is never stretched.
            const TRLTextAlignment a =
                alignment == taJustify && !line.Wrapped ? taLeftJustify : alignment;
            int x = rect.Left;
            if (a == taRightJustify)
                x = rect.Right - line.Width;
            else if (a == taCenter)
                x = (rect.Left + rect.Right - line.Width) / 2;
            target->TextRectEx(lineRect, x, lineRect.Top, line.Text, MetaAlignment(a),
                               MetaTextLayoutTop, MetaTextFlagKeepWhole | MetaTextFlagNoClipping);
        }
        y += lineHeight;
        if (y > maxHeight)
            break;
    }
    return {widest, y};
}

TRLSize TRLCustomMultiLine::CalcSize() {
    if (!AutoSize())
        return {Width(), Height()};
    const QString text = Caption();
    int height = 0;
    if (text.isEmpty())
        height = RLTextHeight(MeasuringFont(Font()));
    else
        height = DrawLines(text, nullptr, Alignment(), INT_MAX, Width(), {0, 0, Width(), 0}).Height;
    return {Width(), height + BorderExtraHeight(Borders())};
}

int TRLCustomMultiLine::ReservedHeight() const {
    if (!AutoSize())
        return 0;
    return std::max(layoutHeight_,
                    RLTextHeight(MeasuringFont(Font())) + BorderExtraHeight(Borders()));
}

void TRLCustomMultiLine::Print() {
    TRLCustomControl::Print();
    const TRLRect rect = CalcPrintClientRect();
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    surface.SetFont(Font());
    surface.SetBrush(
        TRLBrush{Color(), Transparent() ? TRLBrushStyle::Clear : TRLBrushStyle::Solid});
    DrawLines(Caption(), &surface, Alignment(), rect.Bottom - rect.Top,
              wordWrap_ ? rect.Right - rect.Left : INT_MAX, rect);
}

TRLCustomMemo::TRLCustomMemo(TRLCustomControl* parent) : TRLCustomMultiLine(parent) {
    CaptionChanged();
}

void TRLCustomMemo::SetLines(const QStringList& lines) {
    if (lines == lines_)
        return;
    lines_ = lines;
    CaptionChanged();
}

QString TRLCustomMemo::MakeCaption() {
    if (IsPreparing() && !expression_.IsEmpty())
        return ExpressionText(expression_);
    QString text;
    for (const QString& line : lines_)
        text += line + QStringLiteral("\r\n");
    if (!IsPreparing() && text.trimmed().isEmpty())
        return DisplayName();
    return text;
}

} // namespace Kelmora
