#include <kelmora/report/RLRegistry.h>

namespace Kelmora {

TRLClassRegistry& TRLClassRegistry::Instance() {
    static TRLClassRegistry registry;
    return registry;
}

void TRLClassRegistry::Register(TRLClassInfo info) {
    for (auto& existing : classes_)
        if (existing.ClassName.compare(info.ClassName, Qt::CaseInsensitive) == 0) {
            existing = std::move(info);
            return;
        }
    classes_.push_back(std::move(info));
}

const TRLClassInfo* TRLClassRegistry::FindClass(const QString& className) const {
    for (const auto& info : classes_)
        if (info.ClassName.compare(className, Qt::CaseInsensitive) == 0)
            return &info;
    return nullptr;
}

QStringList TRLClassRegistry::ClassNames() const {
    QStringList names;
    for (const auto& info : classes_)
        names << info.ClassName;
    return names;
}

const TRLPropertyInfo* TRLClassRegistry::FindProperty(const QString& className,
                                                      const QString& name) const {
    // Bounded walk: a registration mistake that makes a cycle must not hang a reader.
    const TRLClassInfo* info = FindClass(className);
    for (int depth = 0; info && depth < 32; ++depth) {
        for (const auto& p : info->Properties)
            if (p.Name.compare(name, Qt::CaseInsensitive) == 0)
                return &p;
        info = info->BaseClass.isEmpty() ? nullptr : FindClass(info->BaseClass);
    }
    return nullptr;
}

std::vector<const TRLPropertyInfo*> TRLClassRegistry::Properties(const QString& className) const {
    std::vector<const TRLClassInfo*> chain;
    const TRLClassInfo* info = FindClass(className);
    for (int depth = 0; info && depth < 32; ++depth) {
        chain.push_back(info);
        info = info->BaseClass.isEmpty() ? nullptr : FindClass(info->BaseClass);
    }
    std::vector<const TRLPropertyInfo*> result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (const auto& p : (*it)->Properties) {
            // A subclass may publish a base property again with other rules: the latest wins.
            bool replaced = false;
            for (auto& r : result)
                if (r->Name.compare(p.Name, Qt::CaseInsensitive) == 0) {
                    r = &p;
                    replaced = true;
                }
            if (!replaced)
                result.push_back(&p);
        }
    return result;
}

TRLCustomControl* TRLClassRegistry::Create(const QString& className,
                                           TRLCustomControl* parent) const {
    const TRLClassInfo* info = FindClass(className);
    if (!info || !info->Create)
        return nullptr;
    return info->Create(parent);
}

namespace {

// Follows "A.B.C" through nested objects to the last property; object gets its owner.
const TRLPropertyInfo* Resolve(const TRLClassRegistry& registry, TRLPersistent*& object,
                               const QString& path) {
    const QStringList parts = path.split(QLatin1Char('.'));
    for (int i = 0; i < parts.size(); ++i) {
        const TRLPropertyInfo* p = registry.FindProperty(object->ClassName(), parts[i]);
        if (!p)
            return nullptr;
        if (i == parts.size() - 1)
            return p;
        if (p->Kind != TRLPropertyKind::Object || !p->Object)
            return nullptr;
        object = p->Object(*object);
        if (!object)
            return nullptr;
    }
    return nullptr;
}

} // namespace

bool TRLClassRegistry::ReadProperty(TRLPersistent& object, const QString& path, QVariant& value,
                                    bool asNames) const {
    TRLPersistent* target = &object;
    const TRLPropertyInfo* p = Resolve(*this, target, path);
    if (!p || !p->Get)
        return false;
    value = p->Get(*target);
    if (asNames && p->Kind == TRLPropertyKind::Enum) {
        const int ordinal = value.toInt();
        if (ordinal >= 0 && ordinal < p->ValueNames.size())
            value = p->ValueNames[ordinal];
    } else if (asNames && p->Kind == TRLPropertyKind::Set) {
        const uint bits = value.toUInt();
        QStringList names;
        for (int i = 0; i < p->ValueNames.size(); ++i)
            if (bits & (1u << i))
                names << p->ValueNames[i];
        value = names;
    }
    return true;
}

bool TRLClassRegistry::WriteProperty(TRLPersistent& object, const QString& path,
                                     const QVariant& value) const {
    TRLPersistent* target = &object;
    const TRLPropertyInfo* p = Resolve(*this, target, path);
    if (!p || !p->Set)
        return false;
    QVariant v = value;
    if (p->Kind == TRLPropertyKind::Enum && value.typeId() == QMetaType::QString) {
        const int ordinal = p->ValueNames.indexOf(value.toString());
        if (ordinal < 0)
            return false;
        v = ordinal;
    } else if (p->Kind == TRLPropertyKind::Set && value.typeId() == QMetaType::QStringList) {
        uint bits = 0;
        for (const QString& name : value.toStringList()) {
            const int ordinal = p->ValueNames.indexOf(name);
            if (ordinal < 0)
                return false;
            bits |= 1u << ordinal;
        }
        v = bits;
    }
    p->Set(*target, v);
    return true;
}

} // namespace Kelmora
