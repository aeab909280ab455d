#include <kelmora/parser/RLExpressionParser.h>

#include <kelmora/parser/RLParserLibrary.h>

#include "RLParserTokenizer.h"

#include <QScopedValueRollback>

#include <numbers>

namespace Kelmora {

namespace {

struct OperatorInfo {
    TRLParserNodeKind kind;
    int priority;
};

// Every operator by priority, loosest first: its node, the word it is written back with and
// another word that reads as it. "+" and "-" spell the signs only where an operand is expected.
struct OperatorSpelling {
    TRLParserNodeKind kind;
    int priority;
    const char* symbol;
    const char* alias = nullptr;
};

constexpr OperatorSpelling kOperators[] = {
    {nkAssign, 0, ":="},        {nkEqual, 1, "="},
    {nkNotEqual, 2, "<>", "#"}, {nkGreater, 3, ">"},
    {nkLess, 4, "<"},           {nkGreaterEqual, 5, ">="},
    {nkLessEqual, 6, "<="},     {nkOr, 7, "or", "|"},
    {nkAnd, 8, "and", "&"},     {nkAdd, 9, "+"},
    {nkSubtract, 10, "-"},      {nkMultiply, 11, "*"},
    {nkDivide, 12, "/", "div"}, {nkPower, 13, "^"},
    {nkRoot, 14, "\\"},         {nkPlus, 15, "+"},
    {nkNegate, 16, "-"},        {nkNot, 17, "not", "!"},
};

bool IsSign(TRLParserNodeKind kind) {
    return kind == nkPlus || kind == nkNegate;
}

// Maps an operator token to its node. "!" and "not" are always unary.
bool LookUpOperator(const QString& text, bool operandExpected, OperatorInfo& info) {
    const QString word = text.toLower();
    const bool sign = operandExpected && (word == u"+" || word == u"-");
    for (const OperatorSpelling& op : kOperators) {
        const bool spelled =
            word == QLatin1String(op.symbol) || (op.alias && word == QLatin1String(op.alias));
        if (spelled && IsSign(op.kind) == sign) {
            info = {op.kind, op.priority};
            return true;
        }
    }
    return false;
}

const char* OperatorSymbol(TRLParserNodeKind kind) {
    for (const OperatorSpelling& op : kOperators) {
        if (op.kind == kind)
            return op.symbol;
    }
    return "?";
}

bool IsPrefix(TRLParserNodeKind kind) {
    return IsSign(kind) || kind == nkNot;
}

// Power and assignment read right to left (2 ^ 3 ^ 2 is 2 ^ 9, a := b := 1 sets both).
bool GroupsRight(TRLParserNodeKind kind) {
    return kind == nkPower || kind == nkAssign || IsPrefix(kind);
}

[[noreturn]] void Fail(const QString& message, int position) {
    throw TRLParserError(QStringLiteral("%1 at %2!").arg(message).arg(position));
}

// Binary operators that group left to right. A chain of them, "1 + 2 - 3 * 4 + ...", hangs
// down the first operand of each; that is the length of the expression, not its nesting.
bool IsChainOperator(TRLParserNodeKind kind) {
    return (kind >= nkAdd && kind <= nkRoot && kind != nkPower) ||
           (kind >= nkGreater && kind <= nkAnd);
}

// Levels of nesting between a node and one of its children: none for the first operand of a
// chain operator, which stays at the operator's own level, one for everything else (other
// operands, arguments, statements, the operands of prefix and right-grouping operators).
int LevelCost(const TRLParserNode* parent, const TRLParserNode* child) {
    const bool chained = IsChainOperator(parent->Kind) && !parent->Children.empty() &&
                         parent->Children.front().get() == child;
    return chained ? 0 : 1;
}

int DepthOf(const TRLParserNode* node) {
    int depth = 0;
    for (; node->Parent; node = node->Parent)
        depth += LevelCost(node->Parent, node);
    return depth;
}

// Heights only grow while a tree is built, so a change stops climbing where it makes none.
void RaiseHeights(TRLParserNode* node) {
    for (; node->Parent; node = node->Parent) {
        const int height = node->Height + LevelCost(node->Parent, node);
        if (node->Parent->Height >= height)
            break;
        node->Parent->Height = height;
    }
}

// Builds trees from a text. Each (sub)expression is built on its own and attached to the
// enclosing tree when it is finished; `base` is the level its root will sit at, so that the
// nesting limit counts levels from the very top.
class TreeBuilder {
public:
    TreeBuilder(TRLExpressionParser& parser, const QString& text, bool tellTokens)
        : parser_(parser), tokens_(text), tellTokens_(tellTokens) {}

    TRLParserToken Next() {
        TRLParserToken token = tokens_.Next();
        if (tellTokens_ && parser_.OnToken)
            parser_.OnToken(parser_, token);
        return token;
    }

    // The rest of the text as one expression; null for an empty one.
    std::unique_ptr<TRLParserNode> ParseAll() {
        Result result = ParseExpression(0);
        if (result.end.Kind != tkNull)
            Unexpected(result.end);
        return std::move(result.root);
    }

private:
    struct Result {
        std::unique_ptr<TRLParserNode> root;
        TRLParserToken end;
    };
    struct Tree {
        std::unique_ptr<TRLParserNode> root;
        TRLParserNode* current = nullptr;
        int base = 0;
    };

    [[noreturn]] static void Unexpected(const TRLParserToken& token) {
        Fail(QStringLiteral("Unexpected \"%1\"").arg(token.Text), token.Position);
    }

    std::unique_ptr<TRLParserNode> MakeNode(TRLParserNodeKind kind, int priority,
                                            TRLValue value = TRLValue()) {
        return std::make_unique<TRLParserNode>(&parser_, kind, priority, std::move(value));
    }

    static void CheckDepth(const Tree& tree, int position) {
        if (tree.base + tree.root->Height + 1 > TRLExpressionParser::MaxDepth)
            Fail(QStringLiteral("Expression nested too deeply"), position);
    }

    void EnterNesting(int position) {
        // Brackets that add no tree level, "((((1))))", still recurse here.
        if (++nesting_ > TRLExpressionParser::MaxDepth)
            Fail(QStringLiteral("Expression nested too deeply"), position);
    }

    // Adds node under the current node (or as the root when there is none).
    TRLParserNode* Attach(Tree& tree, std::unique_ptr<TRLParserNode> node, int position,
                          bool becomeCurrent = true) {
        TRLParserNode* added = node.get();
        if (tree.current) {
            tree.current->AddChild(std::move(node));
            RaiseHeights(added);
        } else {
            tree.root = std::move(node);
        }
        CheckDepth(tree, position);
        if (becomeCurrent)
            tree.current = added;
        return added;
    }

    void AttachTo(Tree& tree, TRLParserNode* parent, std::unique_ptr<TRLParserNode> node,
                  int position) {
        RaiseHeights(parent->AddChild(std::move(node)));
        CheckDepth(tree, position);
    }

    Result ParseExpression(int base) {
        Tree tree;
        tree.base = base;
        bool operandExpected = true;
        for (;;) {
            TRLParserToken token = Next();
            switch (token.Kind) {
            case tkNull:
            case tkExitBrackets:
            case tkBracketsBreak:
            case tkCodeBreak:
            case tkCodeExit:
                if (tree.root) {
                    tree.root->Priority = TRLParserNode::OperandPriority;
                    tree.root->Closed = true;
                }
                return {std::move(tree.root), std::move(token)};
            case tkUnknown:
                Unexpected(token);
            case tkIdentifier:
                AttachOperand(tree, nkIdentifier, token.Text, token.Position);
                break;
            case tkValue:
                AttachOperand(tree, nkNumber, token.Number, token.Position);
                break;
            case tkLiteral:
                AttachOperand(tree, nkString, token.Text, token.Position);
                break;
            case tkOperator:
                InsertOperator(tree, token, operandExpected);
                break;
            case tkEnterBrackets:
                ParseGroup(tree, token);
                break;
            case tkCodeEnter:
                ParseBlock(tree, token);
                break;
            }
            // An operator wants an operand after it; anything else, an operator.
            operandExpected = token.Kind == tkOperator;
        }
    }

    // A name, a number or a text where an operand belongs.
    void AttachOperand(Tree& tree, TRLParserNodeKind kind, TRLValue value, int position) {
        Attach(tree, MakeNode(kind, TRLParserNode::OperandPriority, std::move(value)), position);
    }

    void InsertOperator(Tree& tree, const TRLParserToken& token, bool operandExpected) {
        OperatorInfo op{};
        if (!LookUpOperator(token.Text, operandExpected, op))
            Unexpected(token);
        auto node = MakeNode(op.kind, op.priority);
        TRLParserNode* added = node.get();

        // A prefix operator where an operand belongs simply starts that operand. Climbing
        // here would wrongly take over a looser prefix operator before it, as in "not -1".
        if (operandExpected && IsPrefix(op.kind)) {
            Attach(tree, std::move(node), token.Position);
            return;
        }
        if (!tree.current) { // "* 2": the left operand is missing; evaluation says so
            tree.root = std::move(node);
            tree.current = added;
            return;
        }

        // Climb from the current node past everything that binds at least as tightly (only
        // more tightly for right-grouping operators); the new operator takes over the node
        // climbed from, which gives left-to-right grouping for equal priorities.
        const bool right = GroupsRight(op.kind);
        auto bindsTighter = [&](const TRLParserNode* n) {
            return right ? n->Priority > op.priority : n->Priority >= op.priority;
        };
        TRLParserNode* reached = tree.current;
        TRLParserNode* from = nullptr;
        while (bindsTighter(reached) && reached->Parent) {
            from = reached;
            reached = reached->Parent;
        }
        if (bindsTighter(reached)) { // reached is the root: the operator becomes the new root
            added->AddChild(std::move(tree.root));
            added->Height = reached->Height + LevelCost(added, reached);
            tree.root = std::move(node);
        } else if (from) {
            added->AddChild(reached->ReplaceChild(from, std::move(node)));
            added->Height = from->Height + LevelCost(added, from);
            RaiseHeights(added);
        } else {
            tree.current->AddChild(std::move(node));
            RaiseHeights(added);
        }
        tree.current = added;
        CheckDepth(tree, token.Position);
    }

    // "(": the argument list of an identifier, or a plain group.
    void ParseGroup(Tree& tree, const TRLParserToken& open) {
        EnterNesting(open.Position);
        const bool call = tree.current && tree.current->Kind == nkIdentifier;
        if (call)
            tree.current->Called = true;
        const int base = tree.base + (tree.current ? DepthOf(tree.current) + 1 : 0);
        for (;;) {
            Result item = ParseExpression(base);
            if (item.end.Kind == tkBracketsBreak && !call)
                Fail(QStringLiteral("Parameter list not suported"), item.end.Position);
            if (item.end.Kind != tkBracketsBreak && item.end.Kind != tkExitBrackets)
                Fail(QStringLiteral("Brackets expected"), item.end.Position);
            if (item.root) {
                if (call)
                    AttachTo(tree, tree.current, std::move(item.root), item.end.Position);
                else
                    Attach(tree, std::move(item.root), item.end.Position);
            }
            if (item.end.Kind == tkExitBrackets)
                break;
        }
        --nesting_;
    }

    // "{": a block of statements; after an identifier it is one of its arguments.
    void ParseBlock(Tree& tree, const TRLParserToken& open) {
        EnterNesting(open.Position);
        const bool call = tree.current && tree.current->Kind == nkIdentifier;
        TRLParserNode* block =
            Attach(tree, MakeNode(nkBlock, TRLParserNode::OperandPriority), open.Position, !call);
        const int base = tree.base + DepthOf(block) + 1;
        for (;;) {
            Result statement = ParseExpression(base);
            if (statement.end.Kind != tkCodeBreak && statement.end.Kind != tkCodeExit)
                Fail(QStringLiteral("Inline expected"), statement.end.Position);
            if (statement.root)
                AttachTo(tree, block, std::move(statement.root), statement.end.Position);
            if (statement.end.Kind == tkCodeExit)
                break;
        }
        block->Closed = true;
        --nesting_;
    }

    TRLExpressionParser& parser_;
    TRLParserTokenizer tokens_;
    bool tellTokens_;
    int nesting_ = 0;
};

bool SameName(const QString& a, const QString& b) {
    // Case folds a character to one character: names of other lengths are never the same.
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------

const TRLParserValue* TRLParserValueList::Find(const QString& name) const {
    for (const auto& value : values_)
        if (SameName(value.Name, name))
            return &value;
    return nullptr;
}

void TRLParserValueList::Set(const QString& name, const TRLValue& value) {
    for (auto& existing : values_) {
        if (SameName(existing.Name, name)) {
            existing.Value = value;
            return;
        }
    }
    values_.push_back({name, value});
}

bool TRLParserValueList::Remove(const QString& name) {
    return std::erase_if(values_, [&](const auto& v) { return SameName(v.Name, name); }) > 0;
}

// ---------------------------------------------------------------------------------------------

const TRLParserFunction& TRLParserFunctionList::Declare(const QString& declaration) {
    auto function = std::make_shared<TRLParserFunction>();

    TreeBuilder builder(parser_, declaration, false);
    auto expected = [](const TRLParserToken& token) {
        Fail(QStringLiteral("Function declaration expected"), token.Position);
    };
    // "if" is the conditional and can never reach a function of that name.
    auto acceptableName = [](const TRLParserToken& token) {
        return token.Kind == tkIdentifier && !SameName(token.Text, QStringLiteral("if"));
    };

    TRLParserToken token = builder.Next();
    if (!acceptableName(token))
        expected(token);
    function->name_ = token.Text;

    token = builder.Next();
    if (token.Kind == tkEnterBrackets) {
        token = builder.Next();
        while (token.Kind != tkExitBrackets) {
            if (!acceptableName(token))
                expected(token);
            if (function->parameters_.contains(token.Text, Qt::CaseInsensitive))
                Fail(QStringLiteral("Duplicate parameter \"%1\"").arg(token.Text), token.Position);
            function->parameters_.append(token.Text);
            token = builder.Next();
            if (token.Kind == tkBracketsBreak) {
                token = builder.Next();
                if (token.Kind == tkExitBrackets) // "f(a,)"
                    expected(token);
            } else if (token.Kind != tkExitBrackets) {
                expected(token);
            }
        }
        token = builder.Next();
    }
    if (token.Kind != tkOperator || token.Text != u"=")
        expected(token);
    function->body_ = builder.ParseAll();

    for (auto& existing : functions_) {
        if (SameName(existing->Name(), function->Name())) {
            existing = function;
            return *function;
        }
    }
    functions_.push_back(function);
    return *function;
}

std::shared_ptr<const TRLParserFunction>
TRLParserFunctionList::FindShared(const QString& name) const {
    for (const auto& function : functions_)
        if (SameName(function->Name(), name))
            return function;
    return nullptr;
}

const TRLParserFunction* TRLParserFunctionList::Find(const QString& name) const {
    return FindShared(name).get();
}

bool TRLParserFunctionList::Remove(const QString& name) {
    return std::erase_if(functions_, [&](const auto& f) { return SameName(f->Name(), name); }) > 0;
}

// ---------------------------------------------------------------------------------------------

class TRLExpressionParser::Evaluator {
public:
    explicit Evaluator(TRLExpressionParser& parser) : parser_(parser) {}

    TRLValue Eval(const TRLParserNode* node) {
        Nesting nesting(parser_.depth_);
        if (parser_.depth_ > MaxEvaluationDepth)
            throw TRLParserError(QStringLiteral("Evaluation nested too deeply"));
        if (++parser_.steps_ > MaxEvaluationSteps)
            throw TRLParserError(QStringLiteral("Evaluation takes too many steps"));

        switch (node->Kind) {
        case nkNumber:
        case nkString:
            return node->Value;
        case nkBlock: {
            TRLValue last;
            for (const auto& statement : node->Children)
                last = Eval(statement.get());
            return last;
        }
        case nkIdentifier:
            return Identifier(node);
        case nkAssign:
            return Assign(node);
        case nkPlus:
            return Eval(Operand(node, 0));
        case nkNegate:
            return TRLValue::Negate(Eval(Operand(node, 0)));
        case nkNot:
            return TRLValue::Not(Eval(Operand(node, 0)));
        default:
            break;
        }
        if (IsChainOperator(node->Kind))
            return Chain(node);

        const TRLParserNode* leftNode = Operand(node, 0);
        const TRLParserNode* rightNode = Operand(node, 1);
        const TRLValue left = Eval(leftNode);
        const TRLValue right = Eval(rightNode);
        return Combine(node->Kind, left, right);
    }

private:
    // A chain of left-grouping operators is walked down its first operands with a loop, so that
    // its length costs no stack; operands are still evaluated left to right, each operator's
    // operands checked before anything below it is evaluated.
    TRLValue Chain(const TRLParserNode* top) {
        std::vector<const TRLParserNode*> spine;
        const TRLParserNode* node = top;
        for (;;) {
            const TRLParserNode* first = Operand(node, 0);
            Operand(node, 1);
            spine.push_back(node);
            if (!IsChainOperator(first->Kind)) {
                node = first;
                break;
            }
            if (++parser_.steps_ > MaxEvaluationSteps)
                throw TRLParserError(QStringLiteral("Evaluation takes too many steps"));
            node = first;
        }
        TRLValue value = Eval(node);
        for (auto it = spine.rbegin(); it != spine.rend(); ++it)
            value = Combine((*it)->Kind, value, Eval(Operand(*it, 1)));
        return value;
    }

    // Counts a text about to be made against the limits before any memory is taken for it.
    void MakeText(qsizetype length) {
        const auto refuse = [&](const QString& what) {
            // The start of the expression is enough to find it; a text given on the fly may be
            // long itself.
            const QString& text = parser_.evaluating_;
            qsizetype shown = 40;
            if (text.size() > shown && text[shown - 1].isHighSurrogate())
                --shown; // never half a character
            const QString start =
                text.size() > shown ? text.left(shown) + QStringLiteral("...") : text;
            throw TRLValueError(QStringLiteral("Expression \"%1\" %2").arg(start, what));
        };
        if (length > MaxTextLength)
            refuse(QStringLiteral("makes a text longer than %1 characters, the longest a value "
                                  "may be")
                       .arg(MaxTextLength));
        parser_.textMade_ += length;
        if (parser_.textMade_ > MaxTextMade)
            refuse(QStringLiteral("makes more than %1 characters of text in all, the most one "
                                  "evaluation may make")
                       .arg(MaxTextMade));
    }

    TRLValue Combine(TRLParserNodeKind kind, const TRLValue& left, const TRLValue& right) {
        using Operation = TRLValue (*)(const TRLValue&, const TRLValue&);
        constexpr std::pair<TRLParserNodeKind, Operation> operations[] = {
            {nkAdd, &TRLValue::Add},
            {nkSubtract, &TRLValue::Subtract},
            {nkMultiply, &TRLValue::Multiply},
            {nkDivide, &TRLValue::Divide},
            {nkPower, &TRLValue::Power},
            {nkRoot, &TRLValue::Root},
            {nkOr, &TRLValue::Or},
            {nkAnd, &TRLValue::And},
        };
        using enum TRLValueComparison;
        constexpr std::pair<TRLParserNodeKind, TRLValueComparison> comparisons[] = {
            {nkGreater, Greater},
            {nkLess, Less},
            {nkEqual, Equal},
            {nkNotEqual, NotEqual},
            {nkGreaterEqual, GreaterEqual},
            {nkLessEqual, LessEqual},
        };
        if (kind == nkAdd && left.Type() == TRLValueType::String &&
            right.Type() == TRLValueType::String)
            MakeText(left.ToString().size() + right.ToString().size());
        if (const Operation operation = LookUp(operations, kind, nullptr))
            return operation(left, right);
        for (const auto& [comparing, how] : comparisons) {
            if (kind == comparing)
                return TRLValue::Compare(how, left, right);
        }
        throw TRLParserError(QStringLiteral("Unknown node kind %1").arg(int(kind)));
    }

    struct Nesting {
        explicit Nesting(int& depth) : depth_(depth) { ++depth_; }
        ~Nesting() { --depth_; }
        int& depth_;
    };

    // "1 +" and "* 2" build operators with a missing operand.
    static const TRLParserNode* Operand(const TRLParserNode* node, size_t index) {
        const TRLParserNode* operand = node->Child(index);
        if (!operand)
            throw TRLParserError(QStringLiteral("Missing operand for \"%1\"")
                                     .arg(QLatin1String(OperatorSymbol(node->Kind))));
        return operand;
    }

    TRLValue Identifier(const TRLParserNode* node) {
        const QString name = node->Value.ToString();
        if (SameName(name, QStringLiteral("if"))) {
            if (node->Children.size() != 3)
                throw TRLParserError(QStringLiteral("Wrong number of arguments"));
            const bool condition = Eval(node->Child(0)).ToBoolean();
            return Eval(node->Child(condition ? 1 : 2));
        }
        TRLValueList arguments;
        arguments.reserve(node->Children.size());
        for (const auto& argument : node->Children)
            arguments.push_back(Eval(argument.get()));
        TRLValue result = Resolve(name, arguments, node->Called);
        if (result.IsUnassigned())
            throw TRLParserError(QStringLiteral("Undefined identifier \"%1\"").arg(name));
        return result;
    }

    TRLValue Resolve(const QString& name, const TRLValueList& arguments, bool called) {
        TRLValue result;
        if (parser_.OnIdentifier) {
            parser_.OnIdentifier(parser_, name, arguments, result);
            if (!result.IsUnassigned())
                return result;
        }
        if (!parser_.frames_.empty()) {
            const Frame& frame = parser_.frames_.back();
            const QStringList& parameters = frame.function->Parameters();
            for (qsizetype i = 0; i < parameters.size(); ++i)
                if (SameName(parameters[i], name))
                    return (*frame.arguments)[i];
        }
        if (auto function = parser_.functions_.FindShared(name)) {
            result = Call(*function, arguments);
            if (!result.IsUnassigned())
                return result;
        }
        // The library's functions answer calls only, so that a field or a variable named like
        // one (Year, Day, length) is still itself when written bare; a variable takes no
        // arguments, so a call goes to the library first.
        if (called) {
            if (const auto defined = parser_.definedCalls_.constFind(name.toLower());
                defined != parser_.definedCalls_.cend()) {
                CheckArgumentCount(name, static_cast<qsizetype>(arguments.size()),
                                   defined->MinArguments, defined->MaxArguments);
                result = defined->Body(arguments);
                if (result.Type() == TRLValueType::String)
                    MakeText(result.ToString().size());
                return result;
            }
            const TRLLibraryContext context{
                .Now =
                    [this] {
                        return parser_.Clock ? parser_.Clock() : QDateTime::currentDateTime();
                    },
                .MakeText = [this](qsizetype length) { MakeText(length); }};
            result = CallLibraryFunction(name, arguments, context);
            if (!result.IsUnassigned())
                return result;
        }
        if (const TRLParserValue* value = parser_.values_.Find(name)) {
            if (!value->Value.IsUnassigned())
                return value->Value;
        }
        result = BuiltIn(name, arguments);
        if (!result.IsUnassigned())
            return result;

        if ((parser_.options_ & poScanComponents) && parser_.Components.Read) {
            if (parser_.Components.Read(name, result) && !result.IsUnassigned())
                return result;
            result = TRLValue();
        }
        if (parser_.OnUnknown)
            parser_.OnUnknown(parser_, name, arguments, result);
        return result;
    }

    TRLValue Call(const TRLParserFunction& function, const TRLValueList& arguments) {
        if (arguments.size() != static_cast<size_t>(function.Parameters().size()))
            throw TRLParserError(QStringLiteral("Wrong number of arguments"));
        if (!function.body_)
            return TRLValue();
        const std::shared_ptr<const TRLParserNode> body = function.body_;
        parser_.frames_.push_back({&function, &arguments});
        struct Pop {
            std::vector<Frame>& frames;
            ~Pop() { frames.pop_back(); }
        } pop{parser_.frames_};
        return Eval(body.get());
    }

    static TRLValue BuiltIn(const QString& name, const TRLValueList& arguments) {
        // Every name that is no built-in passes through here before it reaches the components
        // (a record's fields): most are told apart without making a lower-case copy.
        if (!MayBeBuiltIn(name))
            return TRLValue();
        const QString word = name.toLower();
        if (word == u"pi")
            return TRLValue(std::numbers::pi);
        if (word == u"true")
            return TRLValue(true);
        if (word == u"false")
            return TRLValue(false);
        if (word == u"null")
            return TRLValue::Null();
        const bool minor = word == u"minor";
        if ((minor || word == u"major") && !arguments.empty()) {
            TRLValue best = arguments.front();
            const auto better = minor ? TRLValueComparison::Less : TRLValueComparison::Greater;
            for (const TRLValue& candidate : arguments)
                if (TRLValue::Compare(better, candidate, best))
                    best = candidate;
            return best;
        }
        return TRLValue();
    }

    // False for a name whose lower-case form is none of the built-in names. Lower-casing never
    // shortens a text, so a name longer than the longest of them is none; an ASCII name is
    // compared letter by letter. Names with other characters go through toLower, which turns a
    // few of them into ASCII letters (the Kelvin sign into "k").
    static bool MayBeBuiltIn(const QString& name) {
        static constexpr QLatin1String words[] = {QLatin1String("pi"),    QLatin1String("true"),
                                                  QLatin1String("false"), QLatin1String("null"),
                                                  QLatin1String("minor"), QLatin1String("major")};
        if (name.size() > 5)
            return false;
        for (const QChar c : name)
            if (c.unicode() >= 0x80)
                return true;
        for (const QLatin1String word : words)
            if (name.compare(word, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    TRLValue Assign(const TRLParserNode* node) {
        const TRLParserNode* target = node->Child(0);
        if (!target || target->Kind != nkIdentifier)
            throw TRLParserError(QStringLiteral("Left side cannot be Assigned"));
        const TRLValue value = Eval(Operand(node, 1));
        const QString name = target->Value.ToString();
        const bool stored = (parser_.options_ & poScanComponents) && parser_.Components.Write &&
                            parser_.Components.Write(name, value);
        if (!stored)
            parser_.values_.Set(name, value);
        return value;
    }

    TRLExpressionParser& parser_;
};

// ---------------------------------------------------------------------------------------------

TRLExpressionParser::TRLExpressionParser() : functions_(*this) {}

TRLExpressionParser::~TRLExpressionParser() = default;

void TRLExpressionParser::DefineCall(const QString& name, int minArguments, int maxArguments,
                                     CallBody body) {
    definedCalls_.insert(name.toLower(), {minArguments, maxArguments, std::move(body)});
}

void TRLExpressionParser::SetExpression(const QString& expression) {
    if (expression == expression_)
        return;
    expression_ = expression;
    tree_.reset();
    treeBuilt_ = false;
}

std::shared_ptr<const TRLParserNode> TRLExpressionParser::Build(const QString& text) {
    return TreeBuilder(*this, text, true).ParseAll();
}

TRLValue TRLExpressionParser::Evaluate(const QString& text) {
    if (OnToken) {
        const std::shared_ptr<const TRLParserNode> tree = Build(text);
        return EvaluateTree(tree.get(), text);
    }
    // A copy of the pointer: a callback may evaluate other texts meanwhile and drop the kept
    // trees to make room.
    std::shared_ptr<const TRLParserNode> tree;
    if (const auto kept = keptTrees_.constFind(text); kept != keptTrees_.cend()) {
        tree = *kept;
    } else {
        tree = Build(text);
        // Texts made up on the fly (a key per record, say) must not grow this for ever.
        if (keptTrees_.size() >= MaxKeptTrees)
            keptTrees_.clear();
        keptTrees_.insert(text, tree);
    }
    return EvaluateTree(tree.get(), text);
}

TRLValue TRLExpressionParser::Evaluate() {
    if (!treeBuilt_) {
        tree_ = Build(expression_);
        treeBuilt_ = true;
    }
    // A callback may change Expression while this tree is evaluated; keep it alive meanwhile.
    const std::shared_ptr<const TRLParserNode> tree = tree_;
    return EvaluateTree(tree.get(), expression_);
}

TRLValue TRLExpressionParser::EvaluateTree(const TRLParserNode* root, const QString& text) {
    if (!root)
        return TRLValue();
    if (depth_ == 0) {
        // nested evaluations from callbacks share the outer budgets
        steps_ = 0;
        textMade_ = 0;
    }
    const QScopedValueRollback<QString> evaluating(evaluating_, text);
    try {
        return Evaluator(*this).Eval(root);
    } catch (const TRLException& error) {
        if (!OnException)
            throw;
        TRLValue result;
        OnException(*this, error, result);
        return result;
    }
}

} // namespace Kelmora
