// Evaluates arbitrary bytes as an expression. Every failure must surface as one of the
// engine's exceptions; anything else (a crash, a hang, a sanitizer report) is a fault.
// fuzz-libs: rlparser rlsupport
#include <kelmora/parser/RLExpressionParser.h>

#include <QString>

#include <cstddef>
#include <cstdint>

using namespace Kelmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TRLExpressionParser parser;
    // A function that calls itself, so that inputs can reach the evaluation limits.
    parser.Functions().Declare("rec(n) = if(n < 1, 0, rec(n - 1) + rec(n - 1))");
    parser.Functions().Declare("twice(x) = x * 2");
    try {
        parser.Evaluate(text);
    } catch (const TRLException&) {
    }
    // Once more through the tree that Expression keeps.
    try {
        parser.SetExpression(text);
        parser.Evaluate();
    } catch (const TRLException&) {
    }
    return 0;
}
