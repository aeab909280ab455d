#include "RLParserTokenizer.h"

#include <utility>
namespace Kelmora {

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Names are plain ASCII, as they always were in this language; other letters are unknown.
bool IsLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_';
}

bool IsDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool IsExponent(QChar c) {
    return c == u'e' || c == u'E';
}

bool IsSign(QChar c) {
    return c == u'+' || c == u'-';
}

bool IsOperatorChar(QChar c) {
    return QStringView(u"!#&*+-/<=>\\^|").contains(c);
}

// Brackets, braces and the separators between arguments and statements; anything else, a lone
// ":" too, is unknown.
TRLParserTokenKind PunctuationKind(QChar c) {
    constexpr std::pair<char16_t, TRLParserTokenKind> kinds[] = {
        {u'(', tkEnterBrackets}, {u')', tkExitBrackets}, {u',', tkBracketsBreak},
        {u'{', tkCodeEnter},     {u';', tkCodeBreak},    {u'}', tkCodeExit}};
    for (const auto& [character, kind] : kinds) {
        if (c == character)
            return kind;
    }
    return tkUnknown;
}

} // namespace

TRLParserToken TRLParserTokenizer::Make(TRLParserTokenKind kind, QString text) const {
    TRLParserToken token;
    token.Kind = kind;
    token.Text = std::move(text);
    token.Position = static_cast<int>(pos_);
    return token;
}

void TRLParserTokenizer::Fail(const QString& message) const {
    throw TRLParserError(QStringLiteral("%1 at %2!").arg(message).arg(pos_));
}

TRLParserToken TRLParserTokenizer::Read() {
    while (pos_ < text_.size() && IsBlank(text_[pos_]))
        ++pos_;
    if (pos_ >= text_.size())
        return Make(tkNull, QString());

    const QChar c = text_[pos_];
    if (IsLetter(c))
        return ReadIdentifier();
    if (IsDigit(c))
        return ReadNumber();
    if (c == u'"' || c == u'\'')
        return ReadString();

    const qsizetype start = pos_++;
    const QChar next = pos_ < text_.size() ? text_[pos_] : QChar();
    if (IsOperatorChar(c)) {
        if ((c == u'<' && (next == u'=' || next == u'>')) || (c == u'>' && next == u'='))
            ++pos_;
        return Make(tkOperator, text_.mid(start, pos_ - start));
    }
    if (c == u':' && next == u'=') {
        ++pos_;
        return Make(tkOperator, QStringLiteral(":="));
    }
    return Make(PunctuationKind(c), c);
}

TRLParserToken TRLParserTokenizer::ReadIdentifier() {
    const qsizetype start = pos_++;
    while (pos_ < text_.size() &&
           (IsLetter(text_[pos_]) || IsDigit(text_[pos_]) || text_[pos_] == u'.'))
        ++pos_;
    const QString name = text_.mid(start, pos_ - start);
    const QString word = name.toLower();
    if (word == u"not" || word == u"and" || word == u"or" || word == u"div")
        return Make(tkOperator, name);
    if (word == u"begin")
        return Make(tkCodeEnter, name);
    if (word == u"end")
        return Make(tkCodeExit, name);
    return Make(tkIdentifier, name);
}

// A number is digits with at most one ".", at most one exponent letter and one sign right
// after the exponent letter. A sign anywhere else ends the number, so "2e3-1" is 2e3 minus 1.
TRLParserToken TRLParserTokenizer::ReadNumber() {
    static const QString kBadNumber = QStringLiteral("Incorrect number format");
    const qsizetype start = pos_++;
    bool dot = false;
    bool exponent = false;
    while (pos_ < text_.size()) {
        const QChar c = text_[pos_];
        if (IsDigit(c)) {
            ++pos_;
        } else if (c == u'.') {
            ++pos_;
            if (dot || exponent)
                Fail(kBadNumber);
            dot = true;
        } else if (IsExponent(c)) {
            ++pos_;
            if (exponent)
                Fail(kBadNumber);
            exponent = true;
        } else if (IsSign(c) && exponent && IsExponent(text_[pos_ - 1])) {
            ++pos_;
        } else if (IsSign(c) && exponent && IsSign(text_[pos_ - 1])) {
            ++pos_; // a second sign: "1e+-2"
            Fail(kBadNumber);
        } else {
            break;
        }
    }
    TRLParserToken token = Make(tkValue, text_.mid(start, pos_ - start));
    // "1e" and "1e+" pass the character rules but are not numbers; neither is 1e999.
    if (!TRLValue::ReadNumber(token.Text, token.Number))
        Fail(kBadNumber);
    return token;
}

// A quote ends the string unless the same quote follows it, blanks between them allowed:
// then the pair stands for one quote inside the string.
TRLParserToken TRLParserTokenizer::ReadString() {
    const QChar quote = text_[pos_++];
    QString value;
    for (;;) {
        if (pos_ >= text_.size())
            Fail(QStringLiteral("Unterminated string"));
        const QChar c = text_[pos_++];
        if (c != quote) {
            value.append(c);
            continue;
        }
        qsizetype after = pos_;
        while (after < text_.size() && IsBlank(text_[after]))
            ++after;
        if (after < text_.size() && text_[after] == quote) {
            value.append(quote);
            pos_ = after + 1;
            continue;
        }
        return Make(tkLiteral, value);
    }
}

} // namespace Kelmora
