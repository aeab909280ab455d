/// @file
/// The control-class and property registry: what a layout reader needs to create controls by
/// class name and to set their published properties by name, and what the expression parser's
/// component lookup needs to read them ("RLLabel1.Caption", "RLReport1.PageSetup.PaperSize").
///
/// Classes register explicitly from a start-up function (RegisterReportClasses for this
/// library; other libraries add their own), never from static initialisers. Each class lists
/// only the properties it adds; lookups walk up to the base classes' tables, so a class that
/// publishes only a subset of its base's properties lists them itself and names no base.
///
/// Property values travel as QVariant:
///   Integer -> int            Double -> double        Boolean -> bool      String -> QString
///   Enum    -> int (ordinal, names in ValueNames)     Set -> uint (bit per ordinal)
///   Color   -> QColor         Font -> TRLFont          StringList -> QStringList
///   Picture -> QImage         Component -> TRLCustomControl* (a reference to another control,
///                                                      resolved by name after loading)
///   Object  -> none: Object() gives the nested persistent (Borders, Margins, PageSetup, ...)
///              whose own class is registered under ObjectClass.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace Kelmora {

class TRLCustomControl;

/// Everything that has published properties: controls and their nested settings objects.
class TRLPersistent {
public:
    virtual ~TRLPersistent() = default;
    /// The registered class name ("TRLBand", "TRLBorders").
    virtual QString ClassName() const = 0;
};

enum class TRLPropertyKind {
    Integer,
    Double,
    Boolean,
    String,
    Enum,
    Set,
    Color,
    Font,
    Object,
    StringList,
    Picture,
    Component
};

struct TRLPropertyInfo {
    QString Name;
    TRLPropertyKind Kind = TRLPropertyKind::Integer;
    QStringList ValueNames; // Enum and Set kinds
    QString ObjectClass;    // Object kind: the nested object's registered class
    bool ReadOnly = false;  // published for reading only (Set is empty)
    std::function<QVariant(const TRLPersistent&)> Get;
    std::function<void(TRLPersistent&, const QVariant&)> Set;
    std::function<TRLPersistent*(TRLPersistent&)> Object;
};

struct TRLClassInfo {
    QString ClassName;
    QString BaseClass; // empty: the table is complete by itself
    /// Creates a control of the class inside parent (which owns it); empty for settings objects
    /// and abstract classes.
    std::function<TRLCustomControl*(TRLCustomControl* parent)> Create;
    std::vector<TRLPropertyInfo> Properties;
};

class TRLClassRegistry {
public:
    static TRLClassRegistry& Instance();

    /// Adds a class or replaces an earlier registration of the same name.
    void Register(TRLClassInfo info);
    const TRLClassInfo* FindClass(const QString& className) const;
    QStringList ClassNames() const;

    /// Looks a property up in the class and then its bases; names match without regard to case.
    const TRLPropertyInfo* FindProperty(const QString& className, const QString& name) const;
    /// Every property of the class, bases first.
    std::vector<const TRLPropertyInfo*> Properties(const QString& className) const;

    /// Creates a control by class name; null when the class is unknown or abstract.
    TRLCustomControl* Create(const QString& className, TRLCustomControl* parent) const;

    /// Reads or writes a property of an object by dotted path relative to it ("Caption",
    /// "Borders.Width", "PageSetup.PaperSize"). Enum values read back as their value name when
    /// asNames is set (what an expression wants to see). Writing accepts an enum or set by name
    /// (QString, or QStringList for sets) as well as by number. Returns false when the path does
    /// not lead to a readable (writable) property or the value does not fit it.
    bool ReadProperty(TRLPersistent& object, const QString& path, QVariant& value,
                      bool asNames = false) const;
    bool WriteProperty(TRLPersistent& object, const QString& path, const QVariant& value) const;

private:
    std::vector<TRLClassInfo> classes_;
};

/// Registers the classes of this library: TRLBand, TRLGroup, TRLSubDetail, TRLReport and the
/// settings objects TRLBorders, TRLMargins, TRLRealBounds, TRLBackground, TRLDegradeEffect,
/// TRLPageSetup, TRLPreviewOptions, with their abstract bases. Safe to call more than once.
void RegisterReportClasses();

// Helpers for describing properties with member functions.
namespace rlprop {

template <class T, class V>
TRLPropertyInfo Make(const QString& name, TRLPropertyKind kind, V (T::*get)() const,
                     void (T::*set)(V)) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = kind;
    p.Get = [get](const TRLPersistent& o) {
        return QVariant::fromValue(
            static_cast<std::decay_t<V>>((dynamic_cast<const T&>(o).*get)()));
    };
    if (set)
        p.Set = [set](TRLPersistent& o, const QVariant& v) {
            (dynamic_cast<T&>(o).*set)(v.value<std::decay_t<V>>());
        };
    else
        p.ReadOnly = true;
    return p;
}

template <class T, class V>
TRLPropertyInfo Make(const QString& name, TRLPropertyKind kind, V (T::*get)() const,
                     void (T::*set)(const V&)) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = kind;
    p.Get = [get](const TRLPersistent& o) {
        return QVariant::fromValue((dynamic_cast<const T&>(o).*get)());
    };
    p.Set = [set](TRLPersistent& o, const QVariant& v) {
        (dynamic_cast<T&>(o).*set)(v.value<V>());
    };
    return p;
}

/// An enumeration stored as E but carried as its ordinal.
template <class T, class E>
TRLPropertyInfo Enum(const QString& name, const QStringList& names, E (T::*get)() const,
                     void (T::*set)(E)) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = TRLPropertyKind::Enum;
    p.ValueNames = names;
    p.Get = [get](const TRLPersistent& o) {
        return QVariant(static_cast<int>((dynamic_cast<const T&>(o).*get)()));
    };
    p.Set = [set, count = names.size()](TRLPersistent& o, const QVariant& v) {
        const int ordinal = v.toInt();
        if (ordinal >= 0 && ordinal < count)
            (dynamic_cast<T&>(o).*set)(static_cast<E>(ordinal));
    };
    return p;
}

/// A TRLSet<E> carried as its bits.
template <class T, class S>
TRLPropertyInfo Set(const QString& name, const QStringList& names, S (T::*get)() const,
                    void (T::*set)(S)) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = TRLPropertyKind::Set;
    p.ValueNames = names;
    p.Get = [get](const TRLPersistent& o) {
        return QVariant(static_cast<uint>((dynamic_cast<const T&>(o).*get)().Bits()));
    };
    p.Set = [set](TRLPersistent& o, const QVariant& v) {
        (dynamic_cast<T&>(o).*set)(S::FromBits(v.toUInt()));
    };
    return p;
}

/// A nested settings object reached through a member function returning a reference.
template <class T, class N>
TRLPropertyInfo Object(const QString& name, const QString& objectClass, N& (T::*get)()) {
    TRLPropertyInfo p;
    p.Name = name;
    p.Kind = TRLPropertyKind::Object;
    p.ObjectClass = objectClass;
    p.Object = [get](TRLPersistent& o) -> TRLPersistent* { return &(dynamic_cast<T&>(o).*get)(); };
    return p;
}

} // namespace rlprop

} // namespace Kelmora
