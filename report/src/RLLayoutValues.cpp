#include "RLLayoutValues.h"

#include <algorithm>
#include <iterator>

namespace Kelmora {

namespace {

struct NamedColor {
    const char* Name;
    QRgb Value;
};

// The sixteen standard colours, the four extra named ones, and the system colours at the
// values a default desktop theme gives them. Layouts name system colours for backgrounds
// (clBtnFace, clWindow); fixing them here keeps a prepared page independent of the theme.
constexpr NamedColor Colors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x800000},
    {"clGreen", 0x008000},
    {"clOlive", 0x808000},
    {"clNavy", 0x000080},
    {"clPurple", 0x800080},
    {"clTeal", 0x008080},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0xFF0000},
    {"clLime", 0x00FF00},
    {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0x00FFFF},
    {"clWhite", 0xFFFFFF},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xA6CAF0},
    {"clCream", 0xFFFBF0},
    {"clMedGray", 0xA0A0A4},
    {"clScrollBar", 0xC8C8C8},
    {"clBackground", 0x000000},
    {"clActiveCaption", 0x99B4D1},
    {"clInactiveCaption", 0xBFCDDB},
    {"clMenu", 0xF0F0F0},
    {"clWindow", 0xFFFFFF},
    {"clWindowFrame", 0x646464},
    {"clMenuText", 0x000000},
    {"clWindowText", 0x000000},
    {"clCaptionText", 0x000000},
    {"clActiveBorder", 0xB4B4B4},
    {"clInactiveBorder", 0xF4F7FC},
    {"clAppWorkSpace", 0xABABAB},
    {"clHighlight", 0x3399FF},
    {"clHighlightText", 0xFFFFFF},
    {"clBtnFace", 0xF0F0F0},
    {"clBtnShadow", 0xA0A0A0},
    {"clGrayText", 0x6D6D6D},
    {"clBtnText", 0x000000},
    {"clInactiveCaptionText", 0x434E54},
    {"clBtnHighlight", 0xFFFFFF},
    {"cl3DDkShadow", 0x696969},
    {"cl3DLight", 0xE3E3E3},
    {"clInfoText", 0x000000},
    {"clInfoBk", 0xFFFFE1},
    {"clHotLight", 0x0066CC},
    {"clGradientActiveCaption", 0xB9D1EA},
    {"clGradientInactiveCaption", 0xD7E4F2},
    {"clMenuHighlight", 0x3399FF},
    {"clMenuBar", 0xF0F0F0},
};

bool IsHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

} // namespace

bool LayoutColorFromText(const QString& text, QColor& color) {
    if (text.startsWith(QLatin1Char('#'))) {
        // QColor would also take "#RGB" and "#AARRGGBB"; a layout colour has exactly six digits.
        if (text.size() != 7)
            return false;
        for (int i = 1; i < 7; ++i)
            if (!IsHexDigit(text[i]))
                return false;
        color = QColor::fromRgb(text.mid(1).toUInt(nullptr, 16));
        return true;
    }
    for (const auto& c : Colors)
        if (text == QLatin1String(c.Name)) {
            color = QColor::fromRgb(c.Value);
            return true;
        }
    return false;
}

QStringList LayoutColorNames() {
    QStringList names;
    names.reserve(static_cast<qsizetype>(std::size(Colors)));
    for (const auto& c : Colors)
        names << QLatin1String(c.Name);
    return names;
}

const QStringList& FontPitchNames() {
    static const QStringList names = {"fpDefault", "fpVariable", "fpFixed"};
    return names;
}

QString JsonErrorText(const QString& displayName, const QByteArray& json,
                      const QJsonParseError& error) {
    const QByteArray before = json.left(std::clamp<qsizetype>(error.offset, 0, json.size()));
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = QString::fromUtf8(before.mid(before.lastIndexOf('\n') + 1)).size() + 1;
    return QStringLiteral("%1:%2:%3: malformed JSON: %4")
        .arg(displayName)
        .arg(line)
        .arg(column)
        .arg(error.errorString());
}

} // namespace Kelmora
