/// @file
/// The expression parser: turns a small expression language into a tree and evaluates it.
///
///   price * (1 + rate / 100)          arithmetic; numeric strings take part ("3" * 2 is 6)
///   'Total: ' + total                 two strings concatenate with "+"
///   if(qty > 10, 'many', 'few')       the conditional evaluates only the branch it returns
///   { x := 5; x + 1 }                 a block's value is its last statement; begin ... end too
///   minor(a, b, c)  major(a, b)  pi  true  false  null
///   upper(Name) + ': ' + format(Total, '#,##0.00')   the function library (RLParserLibrary.h)
///
/// Operators from loosest to tightest: := (right to left), =, # or <>, >, <, >=, <=, | or
/// "or", & or "and", binary +, binary -, *, / or div (real division), ^ (right to left),
/// \ (root: a \ n is a raised to 1/n), unary +, unary -, ! or "not". Every binary operator
/// other than ^ and := groups left to right: 10 - 4 - 3 is 3 and 8 / 4 / 2 is 1. "and" and
/// "or" bind more tightly than the comparisons, so write (a > 1) and (b < 2) with brackets.
/// Prefix operators apply to what follows them: not -1, - -2.
///
/// A name is resolved in this order, the first that gives a value winning: OnIdentifier, the
/// parameters of the function being evaluated, the function list, the library's functions (only
/// for a name written with an argument list), the value list (variables made by assignments),
/// the built-in names, the report's components (poScanComponents), and finally OnUnknown. Names
/// of functions and variables are matched without regard to case.
///
/// Declaring functions: Functions().Declare(text) with text of the form
///     name(param1, param2, ...) = expression
///     name = expression                              (no parameters)
/// for example "net(gross, rate) = gross / (1 + rate / 100)". A call must give exactly as many
/// arguments as there are parameters; inside the body the parameters are read-only local
/// values (an assignment to one creates a variable instead). Declaring a name again replaces
/// the earlier function. The body is checked when it is declared, so a faulty declaration
/// raises TRLParserError at once, with the position counted in the declaration text.
///
/// Reports plug into poScanComponents through Components: Read is asked for a name such as
/// "RLLabel1.Caption" that nothing before it resolved and returns true with the value when it
/// knows the name; Write is asked first by every assignment and returns true when it stored the
/// value (otherwise the value goes into the value list).
///
/// Errors: syntax errors, unknown names and argument-count faults raise TRLParserError (a
/// silent abort); impossible value combinations raise TRLValueError. Errors while building the
/// tree always reach the caller; errors while evaluating it go to OnException when that is set
/// (its result is then returned) and otherwise to the caller. Nesting deeper than MaxDepth
/// levels is refused, and so is evaluation beyond MaxEvaluationDepth nested steps (deep
/// recursion among declared functions) or beyond MaxEvaluationSteps nodes in one evaluation.
///
/// Sizes are bounded as well as steps, since a few steps can double a text into gigabytes
/// ("x := x + x" forty times): no text that an evaluation makes may be longer than
/// MaxTextLength characters, and one evaluation may make at most MaxTextMade characters of text
/// in all (so that many texts just under the limit cannot add up either). Concatenation is the
/// one operation of the language that makes a text longer than its operands; exact decimals are
/// bounded by TRLDecimal::MaxDigits. Going past either limit raises TRLValueError naming the
/// expression and the limit.
#pragma once

#include <kelmora/parser/RLParserTypes.h>
#include <kelmora/parser/RLValue.h>

#include <QDateTime>
#include <QFlags>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace Kelmora {

enum TRLParserOption { poScanComponents = 0x1 };
Q_DECLARE_FLAGS(TRLParserOptions, TRLParserOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRLParserOptions)

/// A named variable made by an assignment (or put there by the owner).
struct TRLParserValue {
    QString Name;
    TRLValue Value;
};

class TRLParserValueList {
public:
    const TRLParserValue* Find(const QString& name) const;
    /// Replaces the value of the variable of that name, or adds one.
    void Set(const QString& name, const TRLValue& value);
    bool Remove(const QString& name);
    void Clear() { values_.clear(); }
    int Count() const { return static_cast<int>(values_.size()); }
    const TRLParserValue& operator[](int index) const { return values_.at(index); }

private:
    std::vector<TRLParserValue> values_;
};

class TRLParserFunction {
public:
    const QString& Name() const { return name_; }
    const QStringList& Parameters() const { return parameters_; }

private:
    friend class TRLParserFunctionList;
    friend class TRLExpressionParser;
    QString name_;
    QStringList parameters_;
    /// Shared so that a call in progress keeps its body alive if the function is replaced from
    /// a callback meanwhile. Null for an empty body.
    std::shared_ptr<const TRLParserNode> body_;
};

class TRLParserFunctionList {
public:
    explicit TRLParserFunctionList(TRLExpressionParser& parser) : parser_(parser) {}

    /// Adds or replaces a function; see the syntax above. Throws TRLParserError.
    const TRLParserFunction& Declare(const QString& declaration);
    const TRLParserFunction* Find(const QString& name) const;
    bool Remove(const QString& name);
    void Clear() { functions_.clear(); }
    int Count() const { return static_cast<int>(functions_.size()); }

private:
    friend class TRLExpressionParser;
    std::shared_ptr<const TRLParserFunction> FindShared(const QString& name) const;

    TRLExpressionParser& parser_;
    std::vector<std::shared_ptr<const TRLParserFunction>> functions_;
};

/// What the report layer provides for poScanComponents. Either function may be left empty.
struct TRLParserComponentAccess {
    std::function<bool(const QString& name, TRLValue& value)> Read;
    std::function<bool(const QString& name, const TRLValue& value)> Write;
};

class TRLExpressionParser {
public:
    static constexpr int MaxDepth = 256;
    static constexpr int MaxEvaluationDepth = 1024;
    static constexpr long MaxEvaluationSteps = 1'000'000;
    static constexpr int MaxKeptTrees = 256;
    /// 16 Mi characters (32 MB in memory); a report's texts are far shorter.
    static constexpr qsizetype MaxTextLength = 16 * 1024 * 1024;
    static constexpr qsizetype MaxTextMade = 4 * MaxTextLength;

    using IdentifierEvent = std::function<void(TRLExpressionParser& sender, const QString& name,
                                               const TRLValueList& arguments, TRLValue& result)>;
    using TokenEvent = std::function<void(TRLExpressionParser& sender, const TRLParserToken&)>;
    using ExceptionEvent = std::function<void(TRLExpressionParser& sender,
                                              const TRLException& error, TRLValue& result)>;

    TRLExpressionParser();
    ~TRLExpressionParser();
    TRLExpressionParser(const TRLExpressionParser&) = delete;
    TRLExpressionParser& operator=(const TRLExpressionParser&) = delete;

    const QString& Expression() const { return expression_; }
    /// A different text drops the tree built for the old one.
    void SetExpression(const QString& expression);

    TRLParserOptions Options() const { return options_; }
    void SetOptions(TRLParserOptions options) { options_ = options; }

    TRLParserFunctionList& Functions() { return functions_; }
    const TRLParserFunctionList& Functions() const { return functions_; }
    TRLParserValueList& Values() { return values_; }
    const TRLParserValueList& Values() const { return values_; }

    /// Evaluates text. An empty text gives unassigned. The trees of the texts evaluated are kept
    /// (up to MaxKeptTrees of them), since a report evaluates the same few texts for every
    /// record; with OnToken set a text is read again each time, so that its tokens are told.
    TRLValue Evaluate(const QString& text);
    /// Evaluates Expression, building its tree on first use and keeping it until Expression
    /// changes.
    TRLValue Evaluate();

    /// Asked first for every identifier except "if"; leaving result unassigned passes on.
    IdentifierEvent OnIdentifier;
    /// Asked last for an identifier that nothing else resolved.
    IdentifierEvent OnUnknown;
    /// Told every token as it is read from the text of an expression.
    TokenEvent OnToken;
    /// Gets every error raised while evaluating a built tree; the result it leaves is returned.
    ExceptionEvent OnException;
    /// Reaches the report's components under poScanComponents.
    TRLParserComponentAccess Components;
    /// The time that today() and now() give; the system's local time when empty.
    std::function<QDateTime()> Clock;

    using CallBody = std::function<TRLValue(const TRLValueList& arguments)>;
    /// Adds a function to this parser's library (or replaces one of that name, any case): it
    /// answers calls with minArguments to maxArguments arguments (-1: no upper bound), ahead of
    /// the library's own, as "page()" does in a report.
    void DefineCall(const QString& name, int minArguments, int maxArguments, CallBody body);

private:
    friend class TRLParserFunctionList;
    class Evaluator;

    std::shared_ptr<const TRLParserNode> Build(const QString& text);
    TRLValue EvaluateTree(const TRLParserNode* root, const QString& text);

    QString expression_;
    TRLParserOptions options_ = poScanComponents;
    TRLParserFunctionList functions_;
    TRLParserValueList values_;
    std::shared_ptr<const TRLParserNode> tree_;
    bool treeBuilt_ = false;
    /// The trees of the texts given to Evaluate(text); a text that does not read has none.
    QHash<QString, std::shared_ptr<const TRLParserNode>> keptTrees_;

    /// Evaluation state, shared by nested evaluations that callbacks start.
    struct Frame {
        const TRLParserFunction* function;
        const TRLValueList* arguments;
    };
    std::vector<Frame> frames_;
    int depth_ = 0;
    long steps_ = 0;
    qsizetype textMade_ = 0;
    /// The text being evaluated, for the messages of the size limits.
    QString evaluating_;

    struct DefinedCall {
        int MinArguments;
        int MaxArguments;
        CallBody Body;
    };
    /// The owner's functions, by their names in small letters.
    QHash<QString, DefinedCall> definedCalls_;
};

} // namespace Kelmora
