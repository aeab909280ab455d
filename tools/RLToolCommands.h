// The sub-commands of rltool. Each takes its own arguments (without the command name) and
// returns the exit status; failures are raised as TRLException or TRLUsageError.
#pragma once

#include "RLCore.h"

#include <QMap>
#include <QStringList>

class TRLUsageError : public TRLException {
public:
    using TRLException::TRLException;
};

struct TRLToolCommand {
    const char* Name;
    const char* Usage;
    bool NeedsDisplay;
    int (*Run)(const QStringList& arguments);
};

// rltool barcode, in RLToolBarcode.cpp.
int BarcodeCommand(const QStringList& arguments);

// Small argument reader shared by the commands: options with values, flags and positionals.
class TRLArguments {
public:
    TRLArguments(const QStringList& arguments, const QStringList& valueOptions,
                 const QStringList& flags);
    QString Value(const QString& option, const QString& fallback = {}) const;
    int IntValue(const QString& option, int fallback) const;
    double RealValue(const QString& option, double fallback) const;
    bool Flag(const QString& flag) const { return flags_.contains(flag); }
    const QStringList& Positionals() const { return positionals_; }
    QString Positional(int index, const char* what) const;

private:
    QMap<QString, QString> values_;
    QStringList flags_;
    QStringList positionals_;
};

// Commands kept in their own files.
int EvalCommand(const QStringList& arguments);
