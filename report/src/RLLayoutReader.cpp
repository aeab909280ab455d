#include <kelmora/report/RLLayoutReader.h>

#include "RLLayoutValues.h"
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLRegistry.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportTypes.h>
#include <kelmora/support/RLUtils.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace Kelmora {

namespace {

const QString ClassKey = QStringLiteral("class");
const QString NameKey = QStringLiteral("name");
const QString ChildrenKey = QStringLiteral("children");
const QString SchemaKey = QStringLiteral("$schema");

bool IsReserved(const QString& key) {
    return key == ClassKey || key == NameKey || key == ChildrenKey;
}

// A JSON value as a message shows it: strings quoted, numbers as written, the rest by kind.
QString Shown(const QJsonValue& v) {
    switch (v.type()) {
    case QJsonValue::String:
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    case QJsonValue::Double:
        return QString::number(v.toDouble(), 'g', 17);
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

// The list of accepted names for a message, cut short when a type has very many (paper sizes).
QString Expected(const QStringList& names) {
    constexpr int shown = 12;
    QStringList list = names.mid(0, shown);
    if (names.size() > shown)
        list << QStringLiteral("...");
    return list.join(QStringLiteral(", "));
}

// The name that matches text when letter case is ignored, for a "did you mean" hint.
QString CaseHint(const QStringList& names, const QString& text) {
    for (const QString& n : names)
        if (n.compare(text, Qt::CaseInsensitive) == 0)
            return QStringLiteral(" (did you mean \"%1\"?)").arg(n);
    return QString();
}

// The hint for a property a class does not have: the name meant when only letter case or a
// plural's letter differs, or, for the names other report formats bind a field with, the property
// that takes values from the records here.
QString PropertyHint(const QStringList& published, const QString& key) {
    const QString hint = CaseHint(published, key);
    if (!hint.isEmpty())
        return hint;
    for (const QString& name : published)
        if (name.size() == key.size() + 1 && name.startsWith(key, Qt::CaseInsensitive))
            return QStringLiteral(" (did you mean \"%1\"?)").arg(name);
    static const QStringList fieldKeys = {"DataField", "Field", "FieldName", "DataSource", "Value"};
    if (published.contains(QStringLiteral("Expression")) &&
        fieldKeys.contains(key, Qt::CaseInsensitive))
        return QStringLiteral(" (a value from the records is given by \"Expression\", such as "
                              "\"Expression\": \"Sku\")");
    return QString();
}

bool IsIdentifier(const QString& name) {
    if (name.isEmpty())
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const bool ascii = c.unicode() < 128;
        const bool letter = ascii && (c.isLetter() || c == QLatin1Char('_'));
        if (!(letter || (i > 0 && ascii && c.isDigit())))
            return false;
    }
    return true;
}

// A reference to another control, set once the whole tree exists.
struct PendingReference {
    TRLPersistent* Target;
    const TRLPropertyInfo* Property;
    QString ControlName;
    QString Where;
};

class LayoutReader {
public:
    LayoutReader(QString displayName, QString baseDir)
        : registry_(TRLClassRegistry::Instance()), display_(std::move(displayName)),
          baseDir_(std::move(baseDir)) {}

    std::unique_ptr<TRLCustomControl> Read(QByteArray json);

private:
    [[noreturn]] void Fail(const QString& where, const QString& what) const {
        throw TRLException(where.isEmpty()
                               ? QStringLiteral("%1: %2").arg(display_, what)
                               : QStringLiteral("%1: %2: %3").arg(display_, where, what));
    }

    QJsonDocument Parse(QByteArray json) const;
    TRLCustomControl* Create(const QJsonObject& object, TRLCustomControl* parent,
                             const QString& position, QString& label);
    void Fill(TRLCustomControl& control, const QJsonObject& object, const QString& label);
    void ApplyProperties(TRLPersistent& target, const QString& className, const QJsonObject& object,
                         const QString& where, bool control);
    void ApplyProperty(TRLPersistent& target, const TRLPropertyInfo& p, const QJsonValue& v,
                       const QString& where);
    QVariant Convert(TRLPersistent& target, const TRLPropertyInfo& p, const QJsonValue& v,
                     const QString& where) const;
    int WholeNumber(const QJsonValue& v, const QString& where) const;
    double WithinMeasureLimit(double number, const QJsonValue& v, const QString& where) const;
    QString Text(const QJsonValue& v, const QString& where) const;
    int EnumValue(const QStringList& names, const QJsonValue& v, const QString& where) const;
    uint SetValue(const QStringList& names, const QJsonValue& v, const QString& where) const;
    QColor Color(const QJsonValue& v, const QString& where) const;
    TRLFont Font(TRLFont font, const QJsonValue& v, const QString& where) const;
    QImage Picture(const QJsonValue& v, const QString& where) const;
    void ResolveReferences(TRLCustomControl& root);

    const TRLClassRegistry& registry_;
    QString display_;
    QString baseDir_;
    QStringList names_; // every control name taken so far
    std::vector<PendingReference> pending_;
};

QJsonDocument LayoutReader::Parse(QByteArray json) const {
    // Editors on other systems like to start UTF-8 files with a byte-order mark.
    if (json.startsWith("\xEF\xBB\xBF"))
        json.remove(0, 3);
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw TRLException(JsonErrorText(display_, json, error));
    if (!doc.isObject())
        Fail(QString(), QStringLiteral("a layout is one JSON object, the root control"));
    return doc;
}

TRLCustomControl* LayoutReader::Create(const QJsonObject& object, TRLCustomControl* parent,
                                       const QString& position, QString& label) {
    const QJsonValue nameValue = object.value(NameKey);
    if (!nameValue.isUndefined() && !nameValue.isString())
        Fail(position, QStringLiteral("\"name\" must be a string, not %1").arg(Shown(nameValue)));
    const QString name = nameValue.toString();
    label = name.isEmpty() ? position : name;

    const QJsonValue classValue = object.value(ClassKey);
    if (!classValue.isString() || classValue.toString().isEmpty())
        Fail(label, QStringLiteral("missing \"class\""));
    const QString className = classValue.toString();
    const TRLClassInfo* info = registry_.FindClass(className);
    if (!info || info->ClassName != className)
        Fail(label, QStringLiteral("unknown class \"%1\"%2")
                        .arg(className, info ? CaseHint({info->ClassName}, className) : QString()));
    if (!info->Create)
        Fail(label, QStringLiteral("class %1 cannot be created as a control").arg(className));

    if (!name.isEmpty()) {
        if (!IsIdentifier(name))
            Fail(position, QStringLiteral("\"%1\" is not a valid name").arg(name));
        // Names are looked up without regard to case (references, expressions), so two that
        // differ only in case would be ambiguous.
        if (names_.contains(name, Qt::CaseInsensitive))
            Fail(position, QStringLiteral("duplicate name \"%1\"").arg(name));
        names_ << name;
    }

    TRLCustomControl* control = info->Create(parent);
    if (!control)
        Fail(label, QStringLiteral("class %1 cannot be created as a control").arg(className));
    control->SetName(name);
    // Loading changes what some setters do (a colour no longer clears Transparent, sites wait
    // before aligning their children), so it starts before the first property.
    control->BeginLoad();
    return control;
}

void LayoutReader::Fill(TRLCustomControl& control, const QJsonObject& object,
                        const QString& label) {
    ApplyProperties(control, control.ClassName(), object, label, true);

    const QJsonValue children = object.value(ChildrenKey);
    if (children.isUndefined())
        return;
    if (!children.isArray())
        Fail(label + QStringLiteral(".children"), QStringLiteral("expected an array of controls"));
    const QJsonArray list = children.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString position = QStringLiteral("%1.children[%2]").arg(label).arg(i);
        if (!list[i].isObject())
            Fail(position, QStringLiteral("expected a control object, not %1").arg(Shown(list[i])));
        const QJsonObject childObject = list[i].toObject();
        QString childLabel;
        // The parent owns the child from here on; an error further down destroys it with the
        // whole tree.
        TRLCustomControl* child = Create(childObject, &control, position, childLabel);
        Fill(*child, childObject, childLabel);
    }
}

void LayoutReader::ApplyProperties(TRLPersistent& target, const QString& className,
                                   const QJsonObject& object, const QString& where, bool control) {
    const std::vector<const TRLPropertyInfo*> props = registry_.Properties(className);
    QStringList published;
    for (const TRLPropertyInfo* p : props)
        published << p->Name;
    if (control)
        published << ClassKey << NameKey << ChildrenKey;

    for (auto it = object.begin(); it != object.end(); ++it) {
        if (control && IsReserved(it.key()))
            continue;
        if (!published.contains(it.key()))
            Fail(where + QLatin1Char('.') + it.key(),
                 QStringLiteral("%1 has no such property%2")
                     .arg(className, PropertyHint(published, it.key())));
    }
    // The class's own order, not the file's: see the header.
    for (const TRLPropertyInfo* p : props) {
        const auto it = object.constFind(p->Name);
        if (it != object.constEnd())
            ApplyProperty(target, *p, it.value(), where + QLatin1Char('.') + p->Name);
    }
}

void LayoutReader::ApplyProperty(TRLPersistent& target, const TRLPropertyInfo& p,
                                 const QJsonValue& v, const QString& where) {
    if (p.Kind == TRLPropertyKind::Object) {
        if (!v.isObject())
            Fail(where, QStringLiteral("expected an object, not %1").arg(Shown(v)));
        TRLPersistent* nested = p.Object ? p.Object(target) : nullptr;
        if (!nested)
            Fail(where, QStringLiteral("cannot be set"));
        const QString nestedClass = p.ObjectClass.isEmpty() ? nested->ClassName() : p.ObjectClass;
        if (!registry_.FindClass(nestedClass))
            Fail(where, QStringLiteral("class %1 is not registered").arg(nestedClass));
        ApplyProperties(*nested, nestedClass, v.toObject(), where, false);
        return;
    }
    if (!p.Set)
        Fail(where, QStringLiteral("is read-only"));
    if (p.Kind == TRLPropertyKind::Component) {
        if (!v.isString() && !v.isNull())
            Fail(where, QStringLiteral("expected a control name, not %1").arg(Shown(v)));
        pending_.push_back({&target, &p, v.toString(), where});
        return;
    }
    const QVariant value = Convert(target, p, v, where);
    try {
        p.Set(target, value);
    } catch (const TRLException& e) {
        Fail(where, e.Message());
    }
}

double LayoutReader::WithinMeasureLimit(double number, const QJsonValue& v,
                                        const QString& where) const {
    if (!(std::fabs(number) <= LayoutNumberLimit))
        Fail(where, QStringLiteral("expected a number from %1 to %2, not %3")
                        .arg(-LayoutNumberLimit, 0, 'f', 0)
                        .arg(LayoutNumberLimit, 0, 'f', 0)
                        .arg(Shown(v)));
    return number;
}

int LayoutReader::WholeNumber(const QJsonValue& v, const QString& where) const {
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || d < INT_MIN || d > INT_MAX)
        Fail(where, QStringLiteral("expected a whole number, not %1").arg(Shown(v)));
    return static_cast<int>(d);
}

QString LayoutReader::Text(const QJsonValue& v, const QString& where) const {
    if (!v.isString())
        Fail(where, QStringLiteral("expected a string, not %1").arg(Shown(v)));
    return v.toString();
}

int LayoutReader::EnumValue(const QStringList& names, const QJsonValue& v,
                            const QString& where) const {
    const QString text = Text(v, where);
    const int ordinal = static_cast<int>(names.indexOf(text));
    if (ordinal < 0)
        Fail(where, QStringLiteral("unknown value \"%1\"%2; expected one of %3")
                        .arg(text, CaseHint(names, text), Expected(names)));
    return ordinal;
}

uint LayoutReader::SetValue(const QStringList& names, const QJsonValue& v,
                            const QString& where) const {
    if (!v.isArray())
        Fail(where, QStringLiteral("expected an array of value names, not %1").arg(Shown(v)));
    uint bits = 0;
    for (const QJsonValue item : v.toArray())
        bits |= 1u << EnumValue(names, item, where);
    return bits;
}

QColor LayoutReader::Color(const QJsonValue& v, const QString& where) const {
    const QString text = Text(v, where);
    QColor color;
    if (!LayoutColorFromText(text, color))
        Fail(where, QStringLiteral("\"%1\" is not a colour%2; expected \"#RRGGBB\" or a name such "
                                   "as clBlack, clWhite, clWindow, clBtnFace")
                        .arg(text, CaseHint(LayoutColorNames(), text)));
    return color;
}

TRLFont LayoutReader::Font(TRLFont font, const QJsonValue& v, const QString& where) const {
    static const QStringList keys = {"Name",  "Size",    "Height", "Style",
                                     "Color", "Charset", "Pitch"};
    if (!v.isObject())
        Fail(where, QStringLiteral("expected a font object, not %1").arg(Shown(v)));
    const QJsonObject o = v.toObject();
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!keys.contains(it.key()))
            Fail(where + QLatin1Char('.') + it.key(),
                 QStringLiteral("a font has no such property%1; it has %2")
                     .arg(CaseHint(keys, it.key()), keys.join(QStringLiteral(", "))));
    if (o.contains(QStringLiteral("Size")) && o.contains(QStringLiteral("Height")))
        Fail(where, QStringLiteral("give Size or Height, not both"));

    const auto at = [&](const char* key) { return where + QLatin1Char('.') + QLatin1String(key); };
    if (o.contains(QStringLiteral("Name"))) {
        font.Name = Text(o.value(QStringLiteral("Name")), at("Name"));
        if (font.Name.trimmed().isEmpty())
            Fail(at("Name"), QStringLiteral("a font needs a name"));
    }
    if (o.contains(QStringLiteral("Size"))) {
        font.Size = WholeNumber(o.value(QStringLiteral("Size")), at("Size"));
        if (font.Size < 1 || font.Size > 1638)
            Fail(at("Size"),
                 QStringLiteral("a size in points from 1 to 1638, not %1").arg(font.Size));
    }
    if (o.contains(QStringLiteral("Height"))) {
        // The old platform's form: minus the character height in pixels at the font's own
        // resolution. The point size is that height * 72 / resolution, halves away from zero.
        const int height = WholeNumber(o.value(QStringLiteral("Height")), at("Height"));
        if (height >= 0 || height < -2184)
            Fail(at("Height"),
                 QStringLiteral("expected minus the character height in pixels, not %1")
                     .arg(height));
        const int ppi = font.PixelsPerInch > 0 ? font.PixelsPerInch : 96;
        font.Size = (-height * 72 * 2 + ppi) / (2 * ppi);
    }
    if (o.contains(QStringLiteral("Style")))
        font.Style = static_cast<TRLFontStyles>(
            SetValue(FontStyleNames(), o.value(QStringLiteral("Style")), at("Style")));
    if (o.contains(QStringLiteral("Color")))
        font.Color = Color(o.value(QStringLiteral("Color")), at("Color"));
    if (o.contains(QStringLiteral("Charset"))) {
        const int charset = WholeNumber(o.value(QStringLiteral("Charset")), at("Charset"));
        if (charset < 0 || charset > 255)
            Fail(at("Charset"), QStringLiteral("expected 0 to 255, not %1").arg(charset));
        font.Charset = static_cast<uint8_t>(charset);
    }
    if (o.contains(QStringLiteral("Pitch")))
        font.Pitch = static_cast<TRLFontPitch>(
            EnumValue(FontPitchNames(), o.value(QStringLiteral("Pitch")), at("Pitch")));
    return font;
}

QImage LayoutReader::Picture(const QJsonValue& v, const QString& where) const {
    if (v.isNull())
        return QImage();
    const QString text = Text(v, where);
    if (text.isEmpty())
        return QImage();
    const QString path = PathInFolder(text, baseDir_);
    if (!QFileInfo(path).isFile())
        Fail(where,
             QStringLiteral("picture file not found: %1").arg(QDir::toNativeSeparators(path)));
    QString tooLarge;
    QImage image = LoadPictureFile(path, &tooLarge);
    if (image.isNull())
        Fail(where,
             QStringLiteral("not a picture that can be read: %1%2")
                 .arg(QDir::toNativeSeparators(path),
                      tooLarge.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(tooLarge)));
    return image;
}

QVariant LayoutReader::Convert(TRLPersistent& target, const TRLPropertyInfo& p, const QJsonValue& v,
                               const QString& where) const {
    switch (p.Kind) {
    case TRLPropertyKind::Integer: {
        const int number = WholeNumber(v, where);
        if (!IsLayoutCount(p))
            WithinMeasureLimit(number, v, where);
        return number;
    }
    case TRLPropertyKind::Double:
        if (!v.isDouble())
            Fail(where, QStringLiteral("expected a number, not %1").arg(Shown(v)));
        return WithinMeasureLimit(v.toDouble(), v, where);
    case TRLPropertyKind::Boolean:
        if (!v.isBool())
            Fail(where, QStringLiteral("expected true or false, not %1").arg(Shown(v)));
        return v.toBool();
    case TRLPropertyKind::String:
        return Text(v, where);
    case TRLPropertyKind::Enum:
        return EnumValue(p.ValueNames, v, where);
    case TRLPropertyKind::Set:
        return SetValue(p.ValueNames, v, where);
    case TRLPropertyKind::Color:
        return Color(v, where);
    case TRLPropertyKind::Font: {
        // Keys not given keep the control's current font: its parent's while ParentFont holds.
        const TRLFont base = p.Get ? p.Get(target).value<TRLFont>() : TRLFont();
        return QVariant::fromValue(Font(base, v, where));
    }
    case TRLPropertyKind::StringList: {
        if (!v.isArray())
            Fail(where, QStringLiteral("expected an array of strings, not %1").arg(Shown(v)));
        QStringList lines;
        const QJsonArray array = v.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            lines << Text(array[i], QStringLiteral("%1[%2]").arg(where).arg(i));
        return lines;
    }
    case TRLPropertyKind::Picture:
        return Picture(v, where);
    case TRLPropertyKind::Object:
    case TRLPropertyKind::Component:
        break; // handled by ApplyProperty
    }
    Fail(where, QStringLiteral("cannot be read from a layout"));
}

void LayoutReader::ResolveReferences(TRLCustomControl& root) {
    for (const PendingReference& r : pending_) {
        TRLCustomControl* found = nullptr;
        if (!r.ControlName.isEmpty()) {
            found = root.FindControl(r.ControlName);
            if (!found)
                Fail(r.Where,
                     QStringLiteral("no control named \"%1\" in the layout").arg(r.ControlName));
        }
        try {
            r.Property->Set(*r.Target, QVariant::fromValue(found));
        } catch (const TRLException& e) {
            Fail(r.Where, e.Message());
        }
        // A setter refuses what does not fit (a band as NextReport, a report following
        // itself); reading back tells a refusal from an accepted reference.
        if (found && r.Property->Get &&
            r.Property->Get(*r.Target).value<TRLCustomControl*>() != found)
            Fail(r.Where, QStringLiteral("%1 (%2) cannot be used here")
                              .arg(found->Name(), found->ClassName()));
    }
}

std::unique_ptr<TRLCustomControl> LayoutReader::Read(QByteArray json) {
    QJsonObject top = Parse(std::move(json)).object();
    // The schema an editor checks the file against and completes it from; nothing to the report.
    const QJsonValue schema = top.take(SchemaKey);
    QString label;
    std::unique_ptr<TRLCustomControl> root(Create(top, nullptr, QStringLiteral("root"), label));
    if (!schema.isUndefined() && !schema.isString())
        Fail(label + QLatin1Char('.') + SchemaKey,
             QStringLiteral("expected the schema's address, not %1").arg(Shown(schema)));
    Fill(*root, top, label);
    ResolveReferences(*root);
    try {
        root->EndLoad();
    } catch (const TRLException& e) {
        Fail(label, e.Message());
    }
    return root;
}

std::unique_ptr<TRLReport> AsReport(std::unique_ptr<TRLCustomControl> root,
                                    const QString& displayName, const QString& baseDir) {
    auto* report = qobject_cast<TRLReport*>(root.get());
    if (!report)
        throw TRLException(QStringLiteral("%1: the root control is a %2, not a TRLReport")
                               .arg(displayName, root->ClassName()));
    root.release();
    report->SetLayoutName(displayName);
    report->SetLayoutFolder(baseDir);
    return std::unique_ptr<TRLReport>(report);
}

} // namespace

bool IsLayoutCount(const TRLPropertyInfo& property) {
    return property.Name == QLatin1String("RangeCount") ||
           property.Name == QLatin1String("HelpContext");
}

std::unique_ptr<TRLCustomControl>
ReadLayoutFromJson(const QByteArray& json, const QString& displayName, const QString& baseDir) {
    return LayoutReader(displayName, baseDir).Read(json);
}

std::unique_ptr<TRLCustomControl> ReadLayout(const QString& path) {
    return ReadLayoutFromJson(ReadFileAtMost(path, MaxLayoutFileBytes), path,
                              QFileInfo(path).absolutePath());
}

std::unique_ptr<TRLReport> ReadReportLayout(const QString& path) {
    return AsReport(ReadLayout(path), path, QFileInfo(path).absolutePath());
}

std::unique_ptr<TRLReport> ReadReportLayoutFromJson(const QByteArray& json,
                                                    const QString& displayName,
                                                    const QString& baseDir) {
    return AsReport(ReadLayoutFromJson(json, displayName, baseDir), displayName, baseDir);
}

} // namespace Kelmora
