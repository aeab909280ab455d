// Helpers shared by the parser tests.
#pragma once

#include "RLExpressionParser.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

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

} // namespace parsertest
