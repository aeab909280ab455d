// rltool eval: evaluates one expression with the report engine's parser and prints its value.
#include "RLToolCommands.h"
#include <kelmora/parser/RLExpressionParser.h>

#include <cstdio>

namespace Kelmora {

int EvalCommand(const TRLArguments& args) {
    if (args.Positionals().size() != 1)
        throw TRLUsageError(QStringLiteral("give exactly one EXPRESSION (quote it for the shell)"));
    TRLExpressionParser parser;
    const TRLValue value = parser.Evaluate(args.Positional(0, "EXPRESSION"));
    const QByteArray text = value.ToString().toUtf8();
    std::printf("%s\n", text.constData());
    return 0;
}

} // namespace Kelmora
