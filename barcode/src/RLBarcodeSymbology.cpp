#include "RLBarcodeSymbology.h"

#include <kelmora/support/RLCore.h>

#include <vector>

namespace Kelmora {

namespace {

// ---- Shared helpers ----------------------------------------------------------------------------

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int DigitValue(QChar c) {
    return c.unicode() - u'0';
}

bool AllDigits(QStringView text) {
    for (QChar c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

QString PadLeft(const QString& digits, int length) {
    return digits.size() >= length ? digits : QString(length - digits.size(), u'0') + digits;
}

// Blanks around the value are not part of it; anything else that is not a digit becomes "0" and
// marks the value invalid, so that the bars still have the value's length.
QString PrepareDigits(const QString& value, bool& invalid) {
    qsizetype first = 0;
    qsizetype last = value.size();
    while (first < last && value[first].unicode() <= u' ') {
        ++first;
    }
    while (last > first && value[last - 1].unicode() <= u' ') {
        --last;
    }
    QString digits = value.mid(first, last - first);
    for (QChar& c : digits) {
        if (!IsDigit(c)) {
            c = u'0';
            invalid = true;
        }
    }
    return digits;
}

// A pattern of narrow (0) and wide (1) elements, starting with a bar and alternating.
void AppendNarrowWide(QString& out, const char* pattern) {
    for (int i = 0; pattern[i] != '\0'; ++i) {
        const bool wide = pattern[i] == '1';
        if (i % 2 == 0) {
            out += wide ? u'6' : u'5';
        } else {
            out += wide ? u'1' : u'0';
        }
    }
}

// A pattern of module counts (1..4), starting with a bar and alternating.
void AppendModuleWidths(QString& out, const char* widths) {
    for (int i = 0; widths[i] != '\0'; ++i) {
        const int d = widths[i] - '0';
        out += QChar(i % 2 == 0 ? '4' + d : '0' + d - 1);
    }
}

// ---- 2 of 5 ----------------------------------------------------------------------------------

constexpr const char* TwoOfFive[10] = {"00110", "10001", "01001", "11000", "00101",
                                       "10100", "01100", "00011", "10010", "01010"};

QString Interleaved2of5(QString digits) {
    // Digits go in pairs, bars from the first and spaces from the second; an odd count would
    // leave the last digit without a partner and print another number than the one given, so
    // a leading zero keeps the whole value (123 is encoded as 0123).
    if (digits.size() % 2 != 0) {
        digits.prepend(u'0');
    }
    QString out = QStringLiteral("5050");
    for (qsizetype p = 0; p + 1 < digits.size(); p += 2) {
        const char* bars = TwoOfFive[DigitValue(digits[p])];
        const char* spaces = TwoOfFive[DigitValue(digits[p + 1])];
        for (int i = 0; i < 5; ++i) {
            out += bars[i] == '1' ? u'6' : u'5';
            out += spaces[i] == '1' ? u'1' : u'0';
        }
    }
    out += QStringLiteral("605");
    return out;
}

QString Industrial2of5(const QString& digits) {
    QString out = QStringLiteral("606050");
    for (QChar c : digits) {
        const char* pattern = TwoOfFive[DigitValue(c)];
        for (int i = 0; i < 5; ++i) {
            out += pattern[i] == '1' ? QStringLiteral("60") : QStringLiteral("50");
        }
    }
    out += QStringLiteral("605060");
    return out;
}

QString Matrix2of5(const QString& digits) {
    QString out = QStringLiteral("705050");
    for (QChar c : digits) {
        AppendNarrowWide(out, TwoOfFive[DigitValue(c)]);
        out += u'0';
    }
    out += QStringLiteral("70505");
    return out;
}

// ---- Code 39 ---------------------------------------------------------------------------------

// Characters in order of their check value; '*' (start and stop) follows the 43 data characters.
constexpr char16_t Code39Chars[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";

constexpr const char* Code39Patterns[44] = {
    "000110100", "100100001", "001100001", "101100000", "000110001", "100110000", "001110000",
    "000100101", "100100100", "001100100", "100001001", "001001001", "101001000", "000011001",
    "100011000", "001011000", "000001101", "100001100", "001001100", "000011100", "100000011",
    "001000011", "101000010", "000010011", "100010010", "001010010", "000000111", "100000110",
    "001000110", "000010110", "110000001", "011000001", "111000000", "010010001", "110010000",
    "011010000", "010000101", "110000100", "011000100", "010101000", "010100010", "010001010",
    "000101010", "010010100"};

constexpr int Code39Star = 43;

int Code39Value(QChar c) {
    for (int i = 0; i < Code39Star; ++i) {
        if (Code39Chars[i] == c.unicode()) {
            return i;
        }
    }
    return -1;
}

void AppendCode39(QString& out, int value) {
    AppendNarrowWide(out, Code39Patterns[value]);
    out += u'0';
}

// The full-ASCII pairs shared by Code 39 and Code 93: the shift character ('$', '%', '/' or
// '+') and the letter it shifts, or the character itself where it needs no shift.
QString FullAsciiPair(int c) {
    auto pair = [](char shift, int letter) {
        return QString(QChar(shift)) + QChar(static_cast<char16_t>(letter));
    };
    if (c == 0) {
        return QStringLiteral("%U");
    }
    if (c <= 26) {
        return pair('$', 'A' + c - 1);
    }
    if (c <= 31) {
        return pair('%', 'A' + c - 27);
    }
    if (c == 32 || c == 45 || c == 46 || (c >= 48 && c <= 57) || (c >= 65 && c <= 90)) {
        return QString(QChar(static_cast<char16_t>(c)));
    }
    if (c <= 44) {
        return pair('/', 'A' + c - 33);
    }
    if (c == 47) {
        return QStringLiteral("/O");
    }
    if (c == 58) {
        return QStringLiteral("/Z");
    }
    if (c <= 63) {
        return pair('%', 'F' + c - 59);
    }
    if (c == 64) {
        return QStringLiteral("%V");
    }
    if (c <= 95) {
        return pair('%', 'K' + c - 91);
    }
    if (c == 96) {
        return QStringLiteral("%W");
    }
    if (c <= 122) {
        return pair('+', 'A' + c - 97);
    }
    return pair('%', 'P' + c - 123);
}

QString Code39(const QString& value, bool checkSum, bool& invalid) {
    QString out;
    AppendCode39(out, Code39Star);
    int sum = 0;
    for (QChar c : value) {
        const int v = Code39Value(c);
        if (v < 0) {
            invalid = true;
            continue;
        }
        AppendCode39(out, v);
        sum += v;
    }
    if (checkSum) {
        AppendCode39(out, sum % 43);
    }
    AppendCode39(out, Code39Star);
    return out;
}

QString ToFullAscii(const QString& value, bool& invalid) {
    QString mapped;
    for (QChar c : value) {
        if (c.unicode() >= 128) {
            invalid = true;
            continue;
        }
        mapped += FullAsciiPair(c.unicode());
    }
    return mapped;
}

// ---- Code 128 --------------------------------------------------------------------------------

// Module widths of symbol values 0 to 105 (103, 104, 105 are the start codes A, B, C).
constexpr const char* Code128Patterns[106] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232"};

constexpr const char* Code128Stop = "2331112";
constexpr int Code128StartA = 103;
constexpr int Code128Fnc1 = 102;

enum class Code128Set { A, B, C };

// Value of a character in code set A or B; a character the set lacks goes out as a blank.
int Code128Value(QChar ch, Code128Set set) {
    const int c = ch.unicode();
    if (c >= 32 && c <= 95) {
        return c - 32;
    }
    if (set == Code128Set::A && c < 32) {
        return c + 64;
    }
    if (set == Code128Set::B && c >= 96 && c <= 127) {
        return c - 32;
    }
    return 0;
}

// The Modulo 10 digit is only defined for digit strings; a value with any other character
// (possible in code sets A and B) is left without one.
QString WithModulo10(const QString& value) {
    if (!AllDigits(value)) {
        return value;
    }
    return value + Modulo10CheckDigit(value);
}

QString Code128(QString value, Code128Set set, bool ean) {
    std::vector<int> symbols;
    symbols.push_back(Code128StartA + static_cast<int>(set));
    if (ean) {
        symbols.push_back(Code128Fnc1);
    }
    if (set == Code128Set::C) {
        if (value.size() % 2 != 0) {
            value.prepend(u'0');
        }
        for (qsizetype i = 0; i + 1 < value.size(); i += 2) {
            const QChar a = value[i];
            const QChar b = value[i + 1];
            symbols.push_back(IsDigit(a) && IsDigit(b) ? DigitValue(a) * 10 + DigitValue(b) : 0);
        }
    } else {
        for (QChar c : value) {
            symbols.push_back(Code128Value(c, set));
        }
    }
    int sum = symbols[0];
    for (size_t i = 1; i < symbols.size(); ++i) {
        sum += symbols[i] * static_cast<int>(i);
    }
    symbols.push_back(sum % 103);

    QString out;
    for (int s : symbols) {
        AppendModuleWidths(out, Code128Patterns[s]);
    }
    AppendModuleWidths(out, Code128Stop);
    return out;
}

// ---- Code 93 ---------------------------------------------------------------------------------

// Values 0 to 42 are the Code 39 data characters in the same order; 43 to 46 are the shift
// characters ($), (%), (/) and (+) of the full-ASCII form.
constexpr const char* Code93Patterns[47] = {
    "131112", "111213", "111312", "111411", "121113", "121212", "121311", "111114",
    "131211", "141111", "211113", "211212", "211311", "221112", "221211", "231111",
    "112113", "112212", "112311", "122112", "132111", "111123", "111222", "111321",
    "121122", "131121", "212112", "212211", "211122", "211221", "221121", "222111",
    "112122", "112221", "122121", "123111", "121131", "311112", "311211", "321111",
    "112131", "113121", "211131", "121221", "312111", "311121", "122211"};

constexpr const char* Code93Start = "111141";
constexpr const char* Code93Stop = "1111411";

QString Code93(const std::vector<int>& values) {
    std::vector<int> symbols = values;
    // C weighs the characters 1 to 20 from the right; K weighs them and C 1 to 15.
    for (int modulus : {20, 15}) {
        int sum = 0;
        const size_t n = symbols.size();
        for (size_t i = 0; i < n; ++i) {
            const int weight = static_cast<int>((n - 1 - i) % modulus) + 1;
            sum += symbols[i] * weight;
        }
        symbols.push_back(sum % 47);
    }
    QString out;
    AppendModuleWidths(out, Code93Start);
    for (int s : symbols) {
        AppendModuleWidths(out, Code93Patterns[s]);
    }
    AppendModuleWidths(out, Code93Stop);
    return out;
}

std::vector<int> Code93Values(const QString& value, bool& invalid) {
    std::vector<int> values;
    for (QChar c : value) {
        const int v = Code39Value(c);
        if (v < 0) {
            invalid = true;
            continue;
        }
        values.push_back(v);
    }
    return values;
}

std::vector<int> Code93ExtendedValues(const QString& value, bool& invalid) {
    std::vector<int> values;
    for (QChar c : value) {
        if (c.unicode() >= 128) {
            invalid = true;
            continue;
        }
        const QString pair = FullAsciiPair(c.unicode());
        if (pair.size() == 1) {
            values.push_back(Code39Value(pair[0]));
            continue;
        }
        // Code 93 has shift characters of its own instead of borrowing '$', '%', '/', '+'.
        switch (pair[0].unicode()) {
        case u'$':
            values.push_back(43);
            break;
        case u'%':
            values.push_back(44);
            break;
        case u'/':
            values.push_back(45);
            break;
        default:
            values.push_back(46);
            break;
        }
        values.push_back(Code39Value(pair[1]));
    }
    return values;
}

// ---- MSI, PostNet, CodaBar -------------------------------------------------------------------

// The MSI check digit: the digits at odd places counted from the right (the last one first)
// form a number that is doubled and its digit sum taken; the remaining digits are added, and the
// check digit brings the total up to a multiple of ten.
int MsiCheckDigit(const QString& digits) {
    QString doubled;
    int sum = 0;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if ((n - 1 - i) % 2 == 0) {
            doubled += digits[i];
        } else {
            sum += DigitValue(digits[i]);
        }
    }
    // Doubling digit by digit with carries avoids any limit on the value's length.
    QString twice;
    int carry = 0;
    for (qsizetype i = doubled.size() - 1; i >= 0; --i) {
        const int d = DigitValue(doubled[i]) * 2 + carry;
        twice.prepend(QChar(u'0' + d % 10));
        carry = d / 10;
    }
    if (carry != 0) {
        twice.prepend(QChar(u'0' + carry));
    }
    for (QChar c : twice) {
        sum += DigitValue(c);
    }
    return (10 - sum % 10) % 10;
}

void AppendMsiDigit(QString& out, int digit) {
    for (int bit = 3; bit >= 0; --bit) {
        out += (digit >> bit) & 1 ? QStringLiteral("60") : QStringLiteral("51");
    }
}

QString Msi(const QString& digits) {
    QString out = QStringLiteral("60");
    for (QChar c : digits) {
        AppendMsiDigit(out, DigitValue(c));
    }
    AppendMsiDigit(out, MsiCheckDigit(digits));
    out += QStringLiteral("515");
    return out;
}

// Five bars a digit, weighted 7, 4, 2, 1, 0; a 1 is a full bar.
constexpr const char* PostNetPatterns[10] = {"11000", "00011", "00101", "00110", "01001",
                                             "01010", "01100", "10001", "10010", "10100"};

QString PostNet(const QString& digits) {
    QString out = QStringLiteral("51");
    for (QChar c : digits) {
        const char* pattern = PostNetPatterns[DigitValue(c)];
        for (int i = 0; i < 5; ++i) {
            out += pattern[i] == '1' ? u'5' : u'A';
            out += u'1';
        }
    }
    out += u'5';
    return out;
}

constexpr char16_t CodaBarChars[] = u"0123456789-$:/.+ABCD";

constexpr const char* CodaBarPatterns[20] = {"0000011", "0000110", "0001001", "1100000", "0010010",
                                             "1000010", "0100001", "0100100", "0110000", "1001000",
                                             "0001100", "0011000", "1000101", "1010001", "1010100",
                                             "0010101", "0011010", "0101001", "0001011", "0001110"};

int CodaBarIndex(QChar c) {
    for (int i = 0; i < 20; ++i) {
        if (CodaBarChars[i] == c.unicode()) {
            return i;
        }
    }
    return -1;
}

QString CodaBar(const QString& value, bool& invalid) {
    QString out;
    AppendNarrowWide(out, CodaBarPatterns[CodaBarIndex(u'A')]);
    out += u'0';
    for (QChar c : value) {
        const int i = CodaBarIndex(c);
        if (i < 0) {
            invalid = true;
            continue;
        }
        AppendNarrowWide(out, CodaBarPatterns[i]);
        out += u'0';
    }
    AppendNarrowWide(out, CodaBarPatterns[CodaBarIndex(u'B')]);
    return out;
}

// ---- EAN and UPC -----------------------------------------------------------------------------

constexpr const char* EanSetA[10] = {"2605", "1615", "1516", "0805", "0526",
                                     "0625", "0508", "0706", "0607", "2506"};
constexpr const char* EanSetB[10] = {"0517", "0616", "1606", "0535", "1705",
                                     "0715", "3505", "1525", "2515", "1507"};
constexpr const char* EanSetC[10] = {"7150", "6160", "6061", "5350", "5071",
                                     "5170", "5053", "5251", "5152", "7051"};

constexpr const char* Ean13Parity[10] = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                         "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};

// Rows by check digit; E is set B ("even"), o is set A ("odd").
constexpr const char* UpcEParity[10] = {"EEEooo", "EEoEoo", "EEooEo", "EEoooE", "EoEEoo",
                                        "EooEEo", "EoooEE", "EoEoEo", "EoEooE", "EooEoE"};

const char* EanDigit(QChar digit, char set) {
    const int d = DigitValue(digit);
    switch (set) {
    case 'A':
        return EanSetA[d];
    case 'B':
        return EanSetB[d];
    default:
        return EanSetC[d];
    }
}

// Padding leaves a longer value as long as it was; such a value has no symbol.
bool HasLength(const QString& digits, qsizetype length, bool& invalid) {
    if (digits.size() == length) {
        return true;
    }
    invalid = true;
    return false;
}

// The number followed by its modulo-10 check digit when add says so.
QString WithCheckDigit(const QString& number, bool add) {
    return add ? number + Modulo10CheckDigit(number) : number;
}

// The start guard, the left half in the sets given digit by digit, the centre guard, the right
// half in set C and the end guard: the layout of EAN-8, EAN-13 and UPC-A symbols.
QString EanSymbol(QStringView left, const char* leftSets, QStringView right) {
    QString out = QStringLiteral("505");
    for (qsizetype i = 0; i < left.size(); ++i) {
        out += QLatin1String(EanDigit(left[i], leftSets[i]));
    }
    out += QStringLiteral("05050");
    for (const QChar digit : right) {
        out += QLatin1String(EanDigit(digit, 'C'));
    }
    out += QStringLiteral("505");
    return out;
}

QString Ean8(QString digits, bool checkSum, TRLBarcodeCheckSumMethod method, bool& invalid) {
    digits = checkSum ? WithCheckDigit(PadLeft(digits, 7).right(7), method == cmModule10)
                      : PadLeft(digits, 8);
    if (!HasLength(digits, 8, invalid)) {
        return {};
    }
    return EanSymbol(QStringView(digits).first(4), "AAAA", QStringView(digits).sliced(4));
}

QString Ean13(QString digits, bool checkSum, TRLBarcodeCheckSumMethod method, bool& invalid) {
    digits =
        checkSum ? WithCheckDigit(PadLeft(digits, 12), method == cmModule10) : PadLeft(digits, 13);
    if (!HasLength(digits, 13, invalid)) {
        return {};
    }
    // The first digit has no bars of its own: it chooses the sets of the left half.
    return EanSymbol(QStringView(digits).sliced(1, 6), Ean13Parity[DigitValue(digits[0])],
                     QStringView(digits).sliced(7));
}

QString UpcA(QString digits, bool checkSum, bool& invalid) {
    // With a check sum, the twelfth digit of a UPC-A symbol is always its check digit, so even
    // the method that adds none cannot leave that place to anything else. Eleven digits are thus
    // the number without it: a shorter value is padded to eleven (padding to twelve would push
    // its last digit out), a longer one keeps its first eleven.
    digits = checkSum ? WithCheckDigit(PadLeft(digits, 11).left(11), true) : PadLeft(digits, 12);
    if (!HasLength(digits, 12, invalid)) {
        return {};
    }
    return EanSymbol(QStringView(digits).first(6), "AAAAAA", QStringView(digits).sliced(6));
}

QString UpcE(QString digits, bool checkSum, TRLBarcodeCheckSumMethod method, bool numberSystem1) {
    // Six digits are the whole number (fewer are padded to six); a seventh is its check digit.
    const bool checkGiven = digits.size() >= 7;
    const QString six = checkGiven ? digits.left(6) : PadLeft(digits, 6);
    // The parity row stands for the check digit: the computed one when asked for, otherwise
    // the seventh digit, which is where a UPC-E value carries its own. A value without one
    // has nothing else to choose by, and only the computed digit gives a readable symbol.
    const QChar check = (checkSum && method == cmModule10) || !checkGiven
                            ? Modulo10CheckDigit(ExpandUpcE(six, numberSystem1 ? u'1' : u'0'))
                            : digits[6];
    const char* row = UpcEParity[DigitValue(check)];
    QString out = QStringLiteral("505");
    for (int i = 0; i < 6; ++i) {
        const bool even = (row[i] == 'E') != numberSystem1;
        out += QLatin1String(EanDigit(six[i], even ? 'B' : 'A'));
    }
    // The UPC-E end guard is six modules: space, bar, space, bar, space, bar.
    out += QStringLiteral("050505");
    return out;
}

QString Supplement5(QString digits, bool& invalid) {
    digits = PadLeft(digits, 5);
    if (!HasLength(digits, 5, invalid)) {
        return {};
    }
    int d[5];
    for (int i = 0; i < 5; ++i) {
        d[i] = DigitValue(digits[i]);
    }
    const int check = (3 * (d[0] + d[2] + d[4]) + 9 * (d[1] + d[3])) % 10;
    const char* row = UpcEParity[check] + 1;
    QString out = QStringLiteral("506");
    for (int i = 0; i < 5; ++i) {
        if (i > 0) {
            out += QStringLiteral("05");
        }
        out += QLatin1String(EanDigit(digits[i], row[i] == 'E' ? 'B' : 'A'));
    }
    return out;
}

QString Supplement2(QString digits, bool& invalid) {
    digits = PadLeft(digits, 2);
    if (!HasLength(digits, 2, invalid)) {
        return {};
    }
    constexpr const char* Sets[4] = {"AA", "AB", "BA", "BB"};
    const char* sets = Sets[(DigitValue(digits[0]) * 10 + DigitValue(digits[1])) % 4];
    return QStringLiteral("506") + QLatin1String(EanDigit(digits[0], sets[0])) +
           QStringLiteral("05") + QLatin1String(EanDigit(digits[1], sets[1]));
}

} // namespace

QChar Modulo10CheckDigit(QStringView digits) {
    int sum = 0;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        const int weight = (n - 1 - i) % 2 == 0 ? 3 : 1;
        sum += DigitValue(digits[i]) * weight;
    }
    // Characters other than digits can make the sum negative; keep the digit in 0..9.
    const int check = ((10 - sum % 10) % 10 + 10) % 10;
    return QChar(u'0' + check);
}

namespace {

// The element string of text in the symbology of type; marks invalid what breaks its rules.
QString ElementsOf(TRLBarcodeType type, const QString& text, bool checkSum,
                   TRLBarcodeCheckSumMethod checkSumMethod, bool& invalid) {
    const bool modulo10 = checkSum && checkSumMethod == cmModule10;
    switch (type) {
    case bcCode2OF5Interleaved:
        return Interleaved2of5(text);
    case bcCode2OF5Industry:
        return Industrial2of5(text);
    case bcCode2OF5Matrix:
        return Matrix2of5(text);
    case bcCode39:
        return Code39(text, checkSum, invalid);
    case bcCode39Extended:
        return Code39(ToFullAscii(text, invalid), checkSum, invalid);
    case bcCode128A:
        return Code128(text, Code128Set::A, false);
    case bcCode128B:
        return Code128(text, Code128Set::B, false);
    case bcCode128C:
        return Code128(text, Code128Set::C, false);
    case bcCode93:
        return Code93(Code93Values(text, invalid));
    case bcCode93Extended:
        return Code93(Code93ExtendedValues(text, invalid));
    case bcMSI:
        return Msi(text);
    case bcPostNet:
        return PostNet(text);
    case bcCodaBar:
        return CodaBar(text, invalid);
    case bcEAN8:
        return Ean8(text, checkSum, checkSumMethod, invalid);
    case bcEAN13:
        return Ean13(text, checkSum, checkSumMethod, invalid);
    case bcUPC_A:
        return UpcA(text, checkSum, invalid);
    case bcUPC_E0:
        return UpcE(text, checkSum, checkSumMethod, false);
    case bcUPC_E1:
        return UpcE(text, checkSum, checkSumMethod, true);
    case bcUPC_Supp2:
        return Supplement2(text, invalid);
    case bcUPC_Supp5:
        return Supplement5(text, invalid);
    case bcEAN128A:
        return Code128(modulo10 ? WithModulo10(text) : text, Code128Set::A, true);
    case bcEAN128B:
        return Code128(modulo10 ? WithModulo10(text) : text, Code128Set::B, true);
    case bcEAN128C:
        return Code128(modulo10 ? WithModulo10(text) : text, Code128Set::C, true);
    }
    return {};
}

} // namespace

TRLBarcodeElements EncodeBarcodeElements(TRLBarcodeType type, const QString& value, bool checkSum,
                                         TRLBarcodeCheckSumMethod checkSumMethod) {
    TRLBarcodeElements result;
    const QString text = BarcodeDigitsOnly(type) ? PrepareDigits(value, result.Invalid) : value;
    result.Elements = ElementsOf(type, text, checkSum, checkSumMethod, result.Invalid);
    return result;
}

TRLBarcodeWidths BarcodeWidths(int module, double ratio) {
    TRLBarcodeWidths widths;
    widths.W[0] = static_cast<uint8_t>(module);
    widths.W[1] = static_cast<uint8_t>(RoundHalfEven(module * ratio));
    widths.W[2] = static_cast<uint8_t>(widths.W[1] * 3 / 2);
    widths.W[3] = static_cast<uint8_t>(widths.W[1] * 2);
    return widths;
}

int ElementWidth(QChar element, const TRLBarcodeWidths& widths) {
    const char16_t c = element.unicode();
    if (c >= u'0' && c <= u'3') {
        return widths.W[c - u'0'];
    }
    if (c >= u'5' && c <= u'8') {
        return widths.W[c - u'5'];
    }
    if (c >= u'A' && c <= u'D') {
        return widths.W[c - u'A'];
    }
    return widths.W[0];
}

int PatternWidth(QStringView elements, const TRLBarcodeWidths& widths) {
    int total = 0;
    for (QChar c : elements) {
        total += ElementWidth(c, widths);
    }
    return total;
}

QString ExpandUpcE(QStringView six, QChar numberSystem) {
    if (six.size() != 6) {
        return {};
    }
    const QString d = six.toString();
    QString upcA(numberSystem);
    switch (DigitValue(d[5])) {
    case 0:
    case 1:
    case 2:
        upcA += d.left(2) + d[5] + QStringLiteral("0000") + d.mid(2, 3);
        break;
    case 3:
        upcA += d.left(3) + QStringLiteral("00000") + d.mid(3, 2);
        break;
    case 4:
        upcA += d.left(4) + QStringLiteral("00000") + d[4];
        break;
    default:
        upcA += d.left(5) + QStringLiteral("0000") + d[5];
        break;
    }
    return upcA;
}

} // namespace Kelmora
