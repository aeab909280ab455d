// The sub-commands of rltool. Each is given its arguments already read against its own options
// and returns the exit status; failures are raised as TRLException or TRLUsageError.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QCommandLineOption>
#include <QList>
#include <QMap>
#include <QStringList>

namespace Kelmora {

class TRLUsageError : public TRLException {
public:
    using TRLException::TRLException;
};

// One command's arguments: the values of its options, its flags and its plain arguments, with
// the options named as written ("-o", "--page").
class TRLArguments {
public:
    TRLArguments(const QStringList& arguments, const QList<QCommandLineOption>& options);
    QString Value(const QString& option, const QString& fallback = {}) const;
    int IntValue(const QString& option, int fallback) const;
    double RealValue(const QString& option, double fallback) const;
    bool Flag(const QString& flag) const { return flags_.contains(flag); }
    bool HelpWanted() const { return Flag(QStringLiteral("--help")); }
    const QStringList& Positionals() const { return positionals_; }
    QString Positional(int index, const char* what) const;

private:
    QMap<QString, QString> values_;
    QStringList flags_;
    QStringList positionals_;
};

struct TRLToolCommand {
    const char* Name;
    // What follows the command name in its usage line.
    const char* Synopsis;
    const char* Summary;
    bool NeedsDisplay;
    // The command's own options, without -h/--help.
    QList<QCommandLineOption> (*Options)();
    int (*Run)(const TRLArguments& arguments);
};

// Commands kept in their own files.
QList<QCommandLineOption> BarcodeOptions();
int BarcodeCommand(const TRLArguments& arguments);
int EvalCommand(const TRLArguments& arguments);

} // namespace Kelmora
