#include <kelmora/report/RLPropertyExpressions.h>

#include "RLLayoutValues.h"
#include <kelmora/parser/RLExpressionParser.h>
#include <kelmora/report/RLControl.h>
#include <kelmora/report/RLReportTypes.h>

#include <QRegularExpression>

namespace Kelmora {

namespace {

using Property = TRLPropertyExpressions::Property;

constexpr Property AllProperties[] = {Property::Visible, Property::FontColor, Property::FontStyle,
                                      Property::Color, Property::Transparent};

// A true or false property: null asks for nothing to be shown, as a missing value should.
bool PropertyBoolean(const TRLValue& value) {
    return !value.IsNull() && !value.IsUnassigned() && value.ToBoolean();
}

} // namespace

QString TRLPropertyExpressions::PropertyName(Property property) {
    switch (property) {
    case Property::Visible:
        return QStringLiteral("Visible");
    case Property::FontColor:
        return QStringLiteral("Font.Color");
    case Property::FontStyle:
        return QStringLiteral("Font.Style");
    case Property::Color:
        return QStringLiteral("Color");
    case Property::Transparent:
        return QStringLiteral("Transparent");
    }
    return QString();
}

QString TRLPropertyExpressions::Text(Property property) const {
    return expressions_[Index(property)].Expression();
}

void TRLPropertyExpressions::SetText(Property property, const QString& text) {
    expressions_[Index(property)].SetExpression(text);
}

bool TRLPropertyExpressions::IsEmpty() const {
    for (const TRLTextExpression& expression : expressions_)
        if (!expression.IsEmpty())
            return false;
    return true;
}

TRLPropertyValues TRLPropertyExpressions::Evaluate(const TRLCustomControl& owner,
                                                   TRLExpressionParser& parser) const {
    TRLPropertyValues values;
    for (const Property property : AllProperties) {
        const TRLTextExpression& expression = expressions_[Index(property)];
        if (expression.IsEmpty())
            continue;
        try {
            const TRLValue value = expression.Value(parser);
            switch (property) {
            case Property::Visible:
                values.Visible = PropertyBoolean(value);
                break;
            case Property::Transparent:
                values.Transparent = PropertyBoolean(value);
                break;
            case Property::Color:
                values.Color = PropertyColor(value);
                break;
            case Property::FontColor:
                values.FontColor = PropertyColor(value);
                break;
            case Property::FontStyle:
                values.FontStyle = PropertyFontStyle(value);
                break;
            }
        } catch (const TRLException& e) {
            throw owner.ExpressionError(e, QStringLiteral("Expressions.") + PropertyName(property));
        }
    }
    return values;
}

std::optional<QColor> PropertyColor(const TRLValue& value) {
    if (value.IsNull() || value.IsUnassigned())
        return std::nullopt;
    const QString text = value.ToString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    QColor color;
    if (!LayoutColorFromText(text, color))
        throw TRLException(QStringLiteral("\"%1\" is not a colour; expected \"#RRGGBB\" or a name "
                                          "such as clBlack, clRed, clWhite")
                               .arg(text));
    return color;
}

std::optional<TRLFontStyles> PropertyFontStyle(const TRLValue& value) {
    if (value.IsNull() || value.IsUnassigned())
        return std::nullopt;
    static const QRegularExpression separators(QStringLiteral("[\\s,+\\[\\]]+"));
    TRLFontStyles styles = 0;
    const QStringList names = FontStyleNames();
    for (const QString& name : value.ToString().split(separators, Qt::SkipEmptyParts)) {
        const qsizetype bit = names.indexOf(name);
        if (bit < 0)
            throw TRLException(QStringLiteral("\"%1\" is not a font style; expected %2")
                                   .arg(name, names.join(QStringLiteral(", "))));
        styles |= static_cast<TRLFontStyles>(1u << bit);
    }
    return styles;
}

void RegisterPropertyExpressions(TRLClassRegistry& registry) {
    std::vector<TRLPropertyInfo> properties;
    for (const Property property : AllProperties) {
        TRLPropertyInfo info;
        info.Name = TRLPropertyExpressions::PropertyName(property);
        info.Kind = TRLPropertyKind::String;
        info.Get = [property](const TRLPersistent& o) {
            return QVariant(dynamic_cast<const TRLPropertyExpressions&>(o).Text(property));
        };
        info.Set = [property](TRLPersistent& o, const QVariant& v) {
            dynamic_cast<TRLPropertyExpressions&>(o).SetText(property, v.toString());
        };
        properties.push_back(std::move(info));
    }
    registry.Register({QStringLiteral("TRLPropertyExpressions"), {}, {}, std::move(properties)});
}

} // namespace Kelmora
