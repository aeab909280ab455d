#include "ParserTestSupport.h"

#include <QMap>

#include <numbers>

using namespace Kelmora;

using parsertest::ErrorOf;

namespace {

// Stands in for the report layer: a few dotted component properties, of which the read-only
// ones refuse assignment.
struct FakeComponents {
    QMap<QString, TRLValue> properties{{"RLLabel1.Caption", "Hola"}, {"RLBand1.Height", 131}};
    QStringList readOnly{"RLBand1.Height"};
    QStringList reads, writes;

    TRLParserComponentAccess Access() {
        TRLParserComponentAccess access;
        access.Read = [this](const QString& name, TRLValue& value) {
            reads << name;
            if (!properties.contains(name))
                return false;
            value = properties.value(name);
            return true;
        };
        access.Write = [this](const QString& name, const TRLValue& value) {
            writes << name;
            if (!properties.contains(name) || readOnly.contains(name))
                return false;
            properties[name] = value;
            return true;
        };
        return access;
    }
};

} // namespace

TEST(TRLExpressionParserCallbacks, OnIdentifierGetsEvaluatedArguments) {
    TRLExpressionParser parser;
    TRLValueList seen;
    parser.OnIdentifier = [&](TRLExpressionParser&, const QString& name,
                              const TRLValueList& arguments, TRLValue& result) {
        if (name == "Sum") {
            seen = arguments;
            result = double(arguments.size());
        }
    };
    EXPECT_EQ(parser.Evaluate("Sum(1 + 1, '3', 4 * 2) * 10"), TRLValue(30));
    EXPECT_EQ(seen, (TRLValueList{2, "3", 8}));
}

TEST(TRLExpressionParserCallbacks, NamesResolveInOrder) {
    // The same name offered by every source; removing the winner reveals the next one.
    TRLExpressionParser parser;
    FakeComponents components;
    components.properties["pi"] = "component";
    parser.Components = components.Access();
    bool askIdentifier = true;
    // Once no longer asked, OnIdentifier leaves the result unassigned.
    parsertest::AnswerName(parser, "pi", [&](TRLExpressionParser&) {
        return askIdentifier ? TRLValue("OnIdentifier") : TRLValue();
    });
    parser.OnUnknown = [](TRLExpressionParser&, const QString&, const TRLValueList&,
                          TRLValue& result) { result = "OnUnknown"; };
    parser.Functions().Declare("f(pi) = pi");
    parser.Functions().Declare("PI = 'function'");
    parser.Values().Set("pi", "variable");

    EXPECT_EQ(parser.Evaluate("pi"), TRLValue("OnIdentifier"));
    askIdentifier = false;
    EXPECT_EQ(parser.Evaluate("f('parameter')"), TRLValue("parameter"));
    EXPECT_EQ(parser.Evaluate("pi"), TRLValue("function"));
    parser.Functions().Remove("pi");
    EXPECT_EQ(parser.Evaluate("pi"), TRLValue("variable"));
    parser.Values().Remove("pI");
    EXPECT_DOUBLE_EQ(parser.Evaluate("pi").ToNumber(), std::numbers::pi);
    EXPECT_EQ(parser.Evaluate("RLLabel1.Caption"), TRLValue("Hola"));
    EXPECT_EQ(parser.Evaluate("nowhere"), TRLValue("OnUnknown"));
    EXPECT_EQ(components.reads, (QStringList{"RLLabel1.Caption", "nowhere"}));
}

TEST(TRLExpressionParserCallbacks, OnExceptionTakesEvaluationErrors) {
    TRLExpressionParser parser;
    QStringList errors;
    parser.OnException = [&](TRLExpressionParser&, const TRLException& error, TRLValue& result) {
        errors << error.Message();
        result = -1;
    };
    EXPECT_EQ(parser.Evaluate("1 / 0"), TRLValue(-1));
    EXPECT_EQ(parser.Evaluate("missing"), TRLValue(-1));
    EXPECT_EQ(errors, (QStringList{"Division by zero", "Undefined identifier \"missing\""}));

    // Errors in building the tree still reach the caller.
    EXPECT_EQ(ErrorOf<TRLParserError>([&] { parser.Evaluate("(1"); }), "Brackets expected at 2!");
    EXPECT_EQ(errors.size(), 2);

    // A handler that leaves the result alone makes the evaluation give unassigned.
    parser.OnException = [](TRLExpressionParser&, const TRLException&, TRLValue&) {};
    EXPECT_TRUE(parser.Evaluate("1 / 0").IsUnassigned());
}

// The registry test reads and assigns a real report's properties through the parser; here an
// assignment the component refuses.
TEST(TRLExpressionParserCallbacks, ARefusedComponentAssignmentMakesAVariable) {
    TRLExpressionParser parser;
    FakeComponents components;
    parser.Components = components.Access();
    EXPECT_EQ(parser.Evaluate("RLBand1.Height := 10"), TRLValue(10));
    EXPECT_EQ(components.properties["RLBand1.Height"], TRLValue(131));
    // The variable then hides the component.
    EXPECT_EQ(parser.Evaluate("RLBand1.Height"), TRLValue(10));
    EXPECT_EQ(components.writes, QStringList{"RLBand1.Height"});
}
