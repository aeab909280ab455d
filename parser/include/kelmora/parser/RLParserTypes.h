/// @file
/// Tokens, tree nodes and the error type of the expression parser.
#pragma once

#include <kelmora/parser/RLValue.h>
#include <kelmora/support/RLCore.h>

#include <QString>

#include <memory>
#include <vector>

namespace Kelmora {

class TRLExpressionParser;

/// The parser's own errors (syntax, undefined names, wrong argument counts, nesting limits).
/// They are silent aborts: the window layer's default error handling does not show them, so a
/// report whose expression fails simply gets no value unless someone catches the error.
class TRLParserError : public TRLException {
public:
    using TRLException::TRLException;
};

enum TRLParserTokenKind {
    tkNull,          // end of text
    tkUnknown,       // a character that starts no token
    tkIdentifier,    // name
    tkValue,         // number
    tkLiteral,       // quoted string
    tkOperator,      // operator symbol or operator word (not, and, or, div)
    tkEnterBrackets, // (
    tkExitBrackets,  // )
    tkBracketsBreak, // ,
    tkCodeEnter,     // { or begin
    tkCodeBreak,     // ;
    tkCodeExit       // } or end
};

struct TRLParserToken {
    TRLParserTokenKind Kind = tkNull;
    /// The text as written; for a literal, its value without quotes and with doubled quotes
    /// made single.
    QString Text;
    double Number = 0; // the value of a tkValue token
    int Position = 0;  // characters read when the token ended; error messages quote it
};

enum TRLParserNodeKind {
    nkIdentifier = 1,
    nkNumber,
    nkString,
    nkAdd,
    nkSubtract,
    nkMultiply,
    nkDivide,
    nkPower,
    nkRoot,
    nkPlus,
    nkNegate,
    nkNot,
    nkGreater,
    nkLess,
    nkEqual,
    nkNotEqual,
    nkGreaterEqual,
    nkLessEqual,
    nkOr,
    nkAnd,
    nkAssign,
    nkBlock
};

/// One node of an expression tree. A node owns its children; an identifier's children are its
/// arguments, an operator's its operands, a block's its statements.
class TRLParserNode {
public:
    static constexpr int OperandPriority = 255;

    TRLParserNode(TRLExpressionParser* parser, TRLParserNodeKind kind, int priority,
                  TRLValue value = TRLValue())
        : Parser(parser), Kind(kind), Priority(priority), Value(std::move(value)) {}
    TRLParserNode(const TRLParserNode&) = delete;
    TRLParserNode& operator=(const TRLParserNode&) = delete;

    /// A long chain "1 + 1 + ... + 1" is a tree as deep as it is long. Its nodes are freed from
    /// a work list, since freeing each child from its parent's destructor would need one stack
    /// frame per term.
    ~TRLParserNode() {
        std::vector<std::unique_ptr<TRLParserNode>> pending = std::move(Children);
        while (!pending.empty()) {
            std::unique_ptr<TRLParserNode> node = std::move(pending.back());
            pending.pop_back();
            for (auto& child : node->Children)
                pending.push_back(std::move(child));
            node->Children.clear();
        }
    }

    TRLParserNode* AddChild(std::unique_ptr<TRLParserNode> child) {
        child->Parent = this;
        Children.push_back(std::move(child));
        return Children.back().get();
    }

    /// Puts replacement where child was and hands child back, detached.
    std::unique_ptr<TRLParserNode> ReplaceChild(TRLParserNode* child,
                                                std::unique_ptr<TRLParserNode> replacement) {
        for (auto& slot : Children) {
            if (slot.get() == child) {
                replacement->Parent = this;
                slot.swap(replacement);
                replacement->Parent = nullptr;
                return replacement;
            }
        }
        return nullptr;
    }

    const TRLParserNode* Child(size_t index) const {
        return index < Children.size() ? Children[index].get() : nullptr;
    }

    TRLExpressionParser* Parser; // the parser that built the node
    TRLParserNode* Parent = nullptr;
    std::vector<std::unique_ptr<TRLParserNode>> Children;
    TRLParserNodeKind Kind;
    int Priority;        // higher binds tighter; operands and finished groups have 255
    bool Closed = false; // a finished (sub)expression: brackets or block closed
    bool Called = false; // an identifier written with an argument list, "f()" included
    TRLValue Value;      // identifier name, number or string
    int Height = 0;      // nesting levels below this node; kept while building to bound nesting
};

} // namespace Kelmora
