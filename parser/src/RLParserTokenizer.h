// Splits expression text into tokens.
#pragma once

#include <kelmora/parser/RLParserTypes.h>

#include <QString>

namespace Kelmora {

class TRLParserTokenizer {
public:
    explicit TRLParserTokenizer(QString text) : text_(std::move(text)) {}

    TRLParserToken Next() { return Read(); }

    // Characters read so far.
    int Position() const { return static_cast<int>(pos_); }

private:
    TRLParserToken Read();
    TRLParserToken Make(TRLParserTokenKind kind, QString text) const;
    TRLParserToken ReadIdentifier();
    TRLParserToken ReadNumber();
    TRLParserToken ReadString();
    [[noreturn]] void Fail(const QString& message) const;

    QString text_;
    qsizetype pos_ = 0;
};

} // namespace Kelmora
