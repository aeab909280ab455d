// Splits expression text into tokens.
#pragma once

#include "RLParserTypes.h"

#include <QString>

#include <optional>

class TRLParserTokenizer {
public:
    explicit TRLParserTokenizer(QString text) : text_(std::move(text)) {}

    // The next token; a pushed-back token comes first. fresh, when given, tells whether the
    // token was read from the text now (false for a pushed-back one).
    TRLParserToken Next(bool* fresh = nullptr);
    void PushBack(TRLParserToken token) { pushed_ = std::move(token); }

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
    std::optional<TRLParserToken> pushed_;
};
