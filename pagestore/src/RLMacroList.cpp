#include <kelmora/pagestore/RLMacroList.h>

namespace Kelmora {

int TRLMacroList::IndexOf(const QString& name) const {
    for (int i = 0; i < entries_.size(); ++i) {
        const QString& entry = entries_[i];
        const int eq = entry.indexOf(QLatin1Char('='));
        const QStringView key = eq < 0 ? QStringView(entry) : QStringView(entry).left(eq);
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TRLMacroList::Value(const QString& name) const {
    const int i = IndexOf(name);
    if (i < 0)
        return {};
    const QString& entry = entries_[i];
    const int eq = entry.indexOf(QLatin1Char('='));
    return eq < 0 ? QString() : entry.mid(eq + 1);
}

void TRLMacroList::SetValue(const QString& name, const QString& value) {
    const int i = IndexOf(name);
    if (value.isEmpty()) {
        if (i >= 0)
            entries_.removeAt(i);
        return;
    }
    const QString entry = name + QLatin1Char('=') + value;
    if (i >= 0)
        entries_[i] = entry;
    else
        entries_.append(entry);
}

int32_t TRLMacroList::IntValue(const QString& name, int32_t defaultValue) const {
    bool ok = false;
    const int32_t value = Value(name).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

void TRLMacroList::SetIntValue(const QString& name, int32_t value) {
    SetValue(name, QString::number(value));
}

double TRLMacroList::RealValue(const QString& name, double defaultValue) const {
    bool ok = false;
    // Always a point as separator, whatever the user's locale says.
    const double value = Value(name).trimmed().toDouble(&ok);
    return ok ? value : defaultValue;
}

void TRLMacroList::SetRealValue(const QString& name, double value) {
    SetValue(name, QString::number(value, 'f', 4));
}

} // namespace Kelmora
