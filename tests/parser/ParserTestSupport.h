// Helpers shared by the parser tests.
#pragma once

#include "TestSupport.h"
#include <kelmora/parser/RLExpressionParser.h>

#include <gtest/gtest.h>

#include <ostream>

using namespace Kelmora;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Lets GoogleTest print values as "number(3)" instead of raw bytes.
inline void PrintTo(const TRLValue& value, std::ostream* os) {
    *os << TRLValue::TypeName(value.Type()).toStdString() << "(" << value.ToString().toStdString()
        << ")";
}

namespace parsertest {

using testsupport::ErrorOf;

inline QString EvalError(const QString& text) {
    TRLExpressionParser parser;
    return ErrorOf([&] { parser.Evaluate(text); });
}

struct EvalCase {
    const char* text;
    TRLValue expected;
};

// Each text evaluated by a parser of its own.
template <size_t N> void ExpectValues(const EvalCase (&cases)[N]) {
    for (const auto& c : cases) {
        TRLExpressionParser parser;
        EXPECT_EQ(parser.Evaluate(c.text), c.expected) << c.text;
    }
}

struct ErrorCase {
    const char* text;
    const char* error;
};

// The message of the Error that action raises on each text.
template <typename Error = TRLException, size_t N, typename Action>
void ExpectErrors(const ErrorCase (&cases)[N], Action&& action) {
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf<Error>([&] { action(c.text); }), QString(c.error)) << c.text;
}

// Answers the one name through OnIdentifier with what answer gives the parser; other names go on.
template <typename Answer>
void AnswerName(TRLExpressionParser& parser, const char* name, Answer answer) {
    parser.OnIdentifier = [name, answer](TRLExpressionParser& sender, const QString& asked,
                                         const TRLValueList&, TRLValue& result) {
        if (asked == QLatin1String(name))
            result = answer(sender);
    };
}

} // namespace parsertest
