/// @file
/// Text settings of a page or a document, kept as "name=value" entries in insertion order.
#pragma once

#include <QString>
#include <QStringList>

namespace Kelmora {

class TRLMacroList {
public:
    const QStringList& Entries() const { return entries_; }
    void SetEntries(QStringList entries) { entries_ = std::move(entries); }
    void Clear() { entries_.clear(); }

    /// Looks a name up without regard to letter case.
    bool Contains(const QString& name) const { return IndexOf(name) >= 0; }
    QString Value(const QString& name) const;
    /// An empty value removes the entry; a new name is appended at the end.
    void SetValue(const QString& name, const QString& value);

    int32_t IntValue(const QString& name, int32_t defaultValue) const;
    void SetIntValue(const QString& name, int32_t value);
    /// Real numbers are written with four decimals and a point ("210.0000").
    double RealValue(const QString& name, double defaultValue) const;
    void SetRealValue(const QString& name, double value);

private:
    int IndexOf(const QString& name) const;
    QStringList entries_;
};

} // namespace Kelmora
