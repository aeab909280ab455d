// The layout schema (docs/layout.schema.json) against the class registry and the layout reader:
// the schema is written by hand, so a class, property or value name added to the registry, or a
// property kind changed, must show here rather than as a valid layout the schema rejects.
#include "RLLayoutValues.h"
#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLRegistry.h>
#include <kelmora/report/RLReportTypes.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <set>

using namespace Kelmora;

// Readable failure messages: names as text, not as their UTF-16 code units.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString SourceDir = QStringLiteral(KELMORA_SOURCE_DIR);

QStringList Strings(const QJsonValue& array) {
    QStringList list;
    for (const QJsonValue v : array.toArray())
        list << v.toString();
    return list;
}

// The properties whose schema entry carries no default, each with the reason: what a fresh control
// holds there is not the same on every machine, or cannot be read back at all.
const std::map<QString, QString>& PropertiesWithoutDefault() {
    static const std::map<QString, QString> exceptions = {
        {"TRLDraw.Kind", "written by older layouts only; the control keeps no value to read back"},
        {"TRLReport.PreviewOptions.Caption",
         "the message table's word for the preview, in the desktop's language"},
        // A label, memo or system-info label sizes itself to its text (AutoSize): one blank, one
        // line, or the name of the value it shows, measured in the fonts the machine has.
        {"TRLLabel.Width", "the width of a blank in the machine's font"},
        {"TRLLabel.Height", "the height of a line in the machine's font"},
        {"TRLMemo.Height", "the height of a line in the machine's font"},
        {"TRLSystemInfo.Width", "the width of its value's name in the machine's font"},
        {"TRLSystemInfo.Height", "the height of a line in the machine's font"},
    };
    return exceptions;
}

QString Json(const QJsonValue& value) {
    if (value.isObject())
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    if (value.isArray())
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    // A lone value: wrapped in an array and unwrapped, so that strings show their quotes.
    const QString wrapped =
        QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    return wrapped.mid(1, wrapped.size() - 2);
}

QString ColorText(const QColor& color) {
    return QStringLiteral("#%1").arg(color.rgb() & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

// A colour as a layout writes it, in one spelling ("#RRGGBB"), so that "clWhite" and "#FFFFFF"
// compare equal; anything that is no layout colour stays as it is and cannot match.
QJsonValue CanonicalColor(const QJsonValue& value) {
    QColor color;
    if (value.isString() && LayoutColorFromText(value.toString(), color))
        return ColorText(color);
    return value;
}

QJsonArray SetNames(const QStringList& names, uint bits) {
    QJsonArray array;
    for (int i = 0; i < names.size(); ++i)
        if (bits & (1u << i))
            array.append(names[i]);
    return array;
}

// A font in the layout's form, with every key the reader takes but Height (Size says it).
QJsonObject FontForm(const TRLFont& font) {
    return {{"Name", font.Name},
            {"Size", font.Size},
            {"Style", SetNames(FontStyleNames(), font.Style)},
            {"Color", ColorText(font.Color)},
            {"Charset", font.Charset},
            {"Pitch", FontPitchNames().value(static_cast<int>(font.Pitch))}};
}

// A schema default brought to the spelling LayoutForm gives, for comparing the two.
QJsonValue Canonical(const TRLPropertyInfo& p, const QJsonValue& value) {
    if (p.Kind == TRLPropertyKind::Color)
        return CanonicalColor(value);
    if (p.Kind == TRLPropertyKind::Font && value.isObject()) {
        QJsonObject font = value.toObject();
        if (font.contains("Color"))
            font["Color"] = CanonicalColor(font.value("Color"));
        return font;
    }
    return value;
}

// Whether the test can put a value of this kind of property in the layout's form.
bool Comparable(const TRLPropertyInfo& p) {
    return p.Get && p.Kind != TRLPropertyKind::Object;
}

// The value a property holds, written as a layout writes it: enumerations and sets by value name,
// colours as "#RRGGBB" (opaque: a layout has no other), no picture and no reference as null. An
// undefined value says the property holds something no layout can write.
QJsonValue LayoutForm(const TRLPropertyInfo& p, const TRLPersistent& object) {
    const QVariant v = p.Get(object);
    switch (p.Kind) {
    case TRLPropertyKind::Integer:
        return v.toInt();
    case TRLPropertyKind::Double:
        return v.toDouble();
    case TRLPropertyKind::Boolean:
        return v.toBool();
    case TRLPropertyKind::String:
        return v.toString();
    case TRLPropertyKind::Enum: {
        const int ordinal = v.toInt();
        return ordinal >= 0 && ordinal < p.ValueNames.size() ? QJsonValue(p.ValueNames[ordinal])
                                                             : QJsonValue(QJsonValue::Undefined);
    }
    case TRLPropertyKind::Set:
        if (v.toUInt() >> p.ValueNames.size())
            return QJsonValue(QJsonValue::Undefined);
        return SetNames(p.ValueNames, v.toUInt());
    case TRLPropertyKind::Color: {
        const QColor color = v.value<QColor>();
        if (!color.isValid() || color.alpha() != 255)
            return QJsonValue(QJsonValue::Undefined);
        return ColorText(color);
    }
    case TRLPropertyKind::Font:
        return FontForm(v.value<TRLFont>());
    case TRLPropertyKind::StringList:
        return QJsonArray::fromStringList(v.toStringList());
    case TRLPropertyKind::Picture:
        return v.value<QImage>().isNull() ? QJsonValue(QJsonValue::Null)
                                          : QJsonValue(QJsonValue::Undefined);
    case TRLPropertyKind::Component:
        return v.value<TRLCustomControl*>() ? QJsonValue(QJsonValue::Undefined)
                                            : QJsonValue(QJsonValue::Null);
    case TRLPropertyKind::Object:
        break;
    }
    return QJsonValue(QJsonValue::Undefined);
}

class LayoutSchemaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterTextAndGraphicClasses();
        RegisterBarcodeClasses();
    }

    void SetUp() override {
        QFile file(SourceDir + QStringLiteral("/docs/layout.schema.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        defs_ = doc.object().value(QStringLiteral("$defs")).toObject();
        ASSERT_FALSE(defs_.isEmpty());
    }

    QJsonObject Def(const QString& name) const { return defs_.value(name).toObject(); }

    // The definition a {"$ref": "#/$defs/NAME"} fragment points to, by name; empty otherwise.
    static QString RefName(const QJsonObject& fragment) {
        const QString ref = fragment.value(QStringLiteral("$ref")).toString();
        const QString prefix = QStringLiteral("#/$defs/");
        return ref.startsWith(prefix) ? ref.mid(prefix.size()) : QString();
    }

    static QStringList CreatableClasses() {
        const TRLClassRegistry& r = TRLClassRegistry::Instance();
        QStringList names;
        for (const QString& c : r.ClassNames())
            if (r.FindClass(c)->Create)
                names << c;
        names.sort();
        return names;
    }

    // Compares one class's definition with its registered properties, and follows its nested
    // objects (Borders, PageSetup, Pen, ...) into their own definitions.
    void CheckClass(const QString& className, bool control, std::set<QString>& checked) const {
        if (!checked.insert(className).second)
            return;
        SCOPED_TRACE(className.toStdString());
        const QJsonObject def = Def(className);
        ASSERT_FALSE(def.isEmpty()) << "no definition for " << className.toStdString();
        EXPECT_EQ(def.value(QStringLiteral("additionalProperties")), QJsonValue(false));
        const QJsonObject props = def.value(QStringLiteral("properties")).toObject();

        const std::vector<const TRLPropertyInfo*> registered =
            TRLClassRegistry::Instance().Properties(className);
        QStringList expectedKeys;
        for (const TRLPropertyInfo* p : registered)
            expectedKeys << p->Name;
        if (control)
            expectedKeys << "class"
                         << "name"
                         << "children";
        // A report may be a layout's root, which may name its schema for an editor.
        if (className == QLatin1String("TRLReport"))
            expectedKeys << "$schema";
        QStringList keys = props.keys();
        keys.sort();
        expectedKeys.sort();
        EXPECT_EQ(keys, expectedKeys);

        for (const TRLPropertyInfo* p : registered) {
            SCOPED_TRACE(p->Name.toStdString());
            const QJsonObject fragment = props.value(p->Name).toObject();
            switch (p->Kind) {
            case TRLPropertyKind::Enum:
                EXPECT_EQ(Strings(Def(RefName(fragment)).value("enum")), p->ValueNames);
                break;
            case TRLPropertyKind::Set: {
                EXPECT_EQ(fragment.value("type").toString(), "array");
                const QJsonObject items = fragment.value("items").toObject();
                EXPECT_EQ(Strings(Def(RefName(items)).value("enum")), p->ValueNames);
                break;
            }
            case TRLPropertyKind::Object:
                EXPECT_EQ(RefName(fragment), p->ObjectClass);
                CheckClass(p->ObjectClass, false, checked);
                break;
            default: {
                static const std::map<TRLPropertyKind, QString> simple = {
                    {TRLPropertyKind::Integer, "integer"},
                    {TRLPropertyKind::Double, "number"},
                    {TRLPropertyKind::Boolean, "boolean"},
                    {TRLPropertyKind::String, "string"},
                    {TRLPropertyKind::Color, "color"},
                    {TRLPropertyKind::Font, "font"},
                    {TRLPropertyKind::StringList, "stringList"},
                    {TRLPropertyKind::Picture, "picture"},
                    {TRLPropertyKind::Component, "controlReference"}};
                ASSERT_TRUE(simple.count(p->Kind)) << "a property kind the schema does not know";
                const bool count = p->Kind == TRLPropertyKind::Integer && IsLayoutCount(*p);
                EXPECT_EQ(RefName(fragment), count ? QStringLiteral("count") : simple.at(p->Kind));
            }
            }
        }
    }

    QJsonObject defs_;
};

TEST_F(LayoutSchemaTest, ClassKeyListsExactlyTheClassesALayoutCanCreate) {
    const QJsonObject control = Def("control");
    const QJsonObject classKey = control.value("properties").toObject().value("class").toObject();
    EXPECT_EQ(Strings(classKey.value("enum")), CreatableClasses());
    // Each class chooses its own definition.
    QStringList dispatched;
    for (const QJsonValue rule : control.value("allOf").toArray()) {
        const QJsonObject o = rule.toObject();
        const QString c = o.value("if")
                              .toObject()
                              .value("properties")
                              .toObject()
                              .value("class")
                              .toObject()
                              .value("const")
                              .toString();
        EXPECT_EQ(RefName(o.value("then").toObject()), c);
        EXPECT_EQ(Strings(o.value("if").toObject().value("required")), QStringList{"class"});
        dispatched << c;
    }
    dispatched.sort();
    EXPECT_EQ(dispatched, CreatableClasses());
}

TEST_F(LayoutSchemaTest, EveryClassDefinitionMatchesItsRegisteredProperties) {
    std::set<QString> checked;
    for (const QString& c : CreatableClasses())
        CheckClass(c, true, checked);
    // The controls, and the settings objects they reach (Borders, Margins, PageSetup, Pen, ...).
    EXPECT_GE(checked.size(), 18u);
}

TEST_F(LayoutSchemaTest, FontColourAndValueListsMatchTheReader) {
    const QJsonObject font = Def("font").value("properties").toObject();
    EXPECT_EQ(font.keys().size(), 7);
    EXPECT_EQ(
        Strings(
            Def(RefName(font.value("Style").toObject().value("items").toObject())).value("enum")),
        FontStyleNames());
    EXPECT_EQ(Strings(Def(RefName(font.value("Pitch").toObject())).value("enum")),
              FontPitchNames());
    EXPECT_EQ(Def("font").value("additionalProperties"), QJsonValue(false));

    QStringList colours;
    for (const QJsonValue branch : Def("color").value("anyOf").toArray())
        if (branch.toObject().contains("enum"))
            colours = Strings(branch.toObject().value("enum"));
    EXPECT_EQ(colours, LayoutColorNames());

    // The reader's bound on measures is the schema's.
    for (const char* kind : {"integer", "number"}) {
        EXPECT_EQ(Def(kind).value("minimum").toDouble(), -LayoutNumberLimit) << kind;
        EXPECT_EQ(Def(kind).value("maximum").toDouble(), LayoutNumberLimit) << kind;
    }
}

// An editor shows a definition's and a property's description on hovering; every one has one.
// Value lists may explain each value too (enumDescriptions, which editors show when completing):
// then one text for each value, in the same order.
TEST_F(LayoutSchemaTest, EveryDefinitionAndPropertyIsDescribed) {
    int described = 0;
    for (auto it = defs_.begin(); it != defs_.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QJsonObject def = it.value().toObject();
        EXPECT_FALSE(def.value("description").toString().trimmed().isEmpty());
        ++described;
        if (def.contains("enumDescriptions")) {
            const QJsonArray texts = def.value("enumDescriptions").toArray();
            EXPECT_EQ(texts.size(), def.value("enum").toArray().size());
            for (const QJsonValue text : texts)
                EXPECT_FALSE(text.toString().trimmed().isEmpty());
        }
        const QJsonObject props = def.value("properties").toObject();
        for (auto p = props.begin(); p != props.end(); ++p) {
            // The class definitions only admit the keys the control definition describes.
            if (p.value() == QJsonValue(true) && it.key() != "control")
                continue;
            EXPECT_FALSE(p.value().toObject().value("description").toString().trimmed().isEmpty())
                << p.key().toStdString();
            ++described;
        }
    }
    // The classes, their settings objects and value lists, and some 300 properties.
    EXPECT_GE(described, 350);
}

// A property left out of a layout keeps what a freshly created control holds: the schema's default
// says what that is, in the layout's own form. A settings object's properties (Borders.Width, ...)
// have theirs in its own definition when every class that reaches it starts alike; where the
// classes differ (a report's margins are not a band's) the definition gives none, and each class
// that names the object gives the whole object as its default instead.
TEST_F(LayoutSchemaTest, DefaultsAreWhatAFreshControlHolds) {
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    std::set<QString> excepted;
    int compared = 0;
    // Settings class -> property -> the values that the classes reaching it start with.
    std::map<QString, std::map<QString, std::set<QString>>> nestedValues;

    // Compares the default that holder gives the property with what the object holds; key names
    // the property in messages and in the list of exceptions.
    const auto check = [&](const TRLPropertyInfo& p, const TRLPersistent& object,
                           const QString& key, const QJsonObject& holder) {
        SCOPED_TRACE(key.toStdString());
        if (PropertiesWithoutDefault().count(key)) {
            excepted.insert(key);
            EXPECT_FALSE(holder.contains(p.Name)) << "a default for a property listed without one";
            return;
        }
        ASSERT_TRUE(Comparable(p)) << "a property whose value cannot be read back";
        const QJsonValue held = LayoutForm(p, object);
        ASSERT_FALSE(held.isUndefined()) << "holds a value no layout can write";
        ASSERT_TRUE(holder.contains(p.Name))
            << "no default; a fresh control holds " << Json(held).toStdString();
        EXPECT_EQ(Json(Canonical(p, holder.value(p.Name))), Json(held));
        ++compared;
    };
    // {name: default} of a property fragment, empty when it has none.
    const auto defaultOf = [](const QString& name, const QJsonObject& fragment) {
        QJsonObject holder;
        if (fragment.contains("default"))
            holder.insert(name, fragment.value("default"));
        return holder;
    };

    for (const QString& className : CreatableClasses()) {
        std::unique_ptr<TRLCustomControl> control(registry.FindClass(className)->Create(nullptr));
        ASSERT_NE(control, nullptr) << className.toStdString();
        const QJsonObject props = Def(className).value("properties").toObject();
        for (const TRLPropertyInfo* p : registry.Properties(className)) {
            const QString key = className + '.' + p->Name;
            const QJsonObject fragment = props.value(p->Name).toObject();
            if (p->Kind != TRLPropertyKind::Object) {
                check(*p, *control, key, defaultOf(p->Name, fragment));
                continue;
            }
            SCOPED_TRACE(key.toStdString());
            TRLPersistent* nested = p->Object(*control);
            ASSERT_NE(nested, nullptr);
            const QJsonObject nestedProps = Def(p->ObjectClass).value("properties").toObject();
            const bool whole = fragment.contains("default");
            EXPECT_TRUE(!whole || fragment.value("default").isObject());
            const QJsonObject wholeDefault = fragment.value("default").toObject();
            QStringList names;
            for (const TRLPropertyInfo* np : registry.Properties(p->ObjectClass)) {
                names << np->Name;
                const QString nestedKey = key + '.' + np->Name;
                check(*np, *nested, nestedKey,
                      whole ? wholeDefault
                            : defaultOf(np->Name, nestedProps.value(np->Name).toObject()));
                if (!PropertiesWithoutDefault().count(nestedKey) && Comparable(*np))
                    nestedValues[p->ObjectClass][np->Name].insert(Json(LayoutForm(*np, *nested)));
            }
            for (const QString& given : wholeDefault.keys())
                EXPECT_TRUE(names.contains(given))
                    << "a default for an unknown key " << given.toStdString();
        }
    }

    // A settings object's own default holds for every class that reaches it.
    for (const auto& [nestedClass, values] : nestedValues) {
        const QJsonObject props = Def(nestedClass).value("properties").toObject();
        for (const TRLPropertyInfo* np : registry.Properties(nestedClass)) {
            SCOPED_TRACE((nestedClass + '.' + np->Name).toStdString());
            const QJsonObject fragment = props.value(np->Name).toObject();
            if (!fragment.contains("default"))
                continue;
            const auto found = values.find(np->Name);
            ASSERT_NE(found, values.end()) << "a default for a property listed without one";
            EXPECT_EQ(found->second.size(), 1u) << "the classes that reach it start differently";
            for (const QString& held : found->second)
                EXPECT_EQ(Json(Canonical(*np, fragment.value("default"))), held);
        }
    }

    // Every exception is still one: a property renamed or removed leaves no stale line behind.
    for (const auto& [key, reason] : PropertiesWithoutDefault())
        EXPECT_TRUE(excepted.count(key)) << key.toStdString() << " (" << reason.toStdString()
                                         << ") is no property of a creatable class";
    // Nine classes of some 25 properties each, and their settings objects.
    EXPECT_GE(compared, 300);
}

// The broken samples the schema test rejects are refused by the reader too, so the schema
// is no stricter than the program on them; the shipped documents load.
TEST_F(LayoutSchemaTest, ReaderRefusesTheInvalidSamplesAndLoadsTheShippedLayouts) {
    const QDir invalid(SourceDir + QStringLiteral("/tests/layouts/invalid"));
    const QStringList samples = invalid.entryList({"*.json"}, QDir::Files);
    ASSERT_GE(samples.size(), 10);
    for (const QString& name : samples) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_THROW(ReadLayout(invalid.filePath(name)), TRLException);
    }

    const QDir documents(SourceDir + QStringLiteral("/documents/layouts"));
    const QStringList layouts = documents.entryList({"*.json"}, QDir::Files);
    ASSERT_FALSE(layouts.isEmpty());
    for (const QString& name : layouts) {
        SCOPED_TRACE(name.toStdString());
        try {
            EXPECT_NE(ReadLayout(documents.filePath(name)), nullptr);
        } catch (const TRLException& e) {
            ADD_FAILURE() << e.Message().toStdString();
        }
    }
}

} // namespace
