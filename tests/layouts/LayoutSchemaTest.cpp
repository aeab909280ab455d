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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <map>
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
