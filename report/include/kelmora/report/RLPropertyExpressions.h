/// @file
/// Properties of a control that follow the records: in a layout,
///
///     "Expressions": {"Font.Color": "if(Amount < 0, 'clRed', 'clBlack')", "Visible": "Qty > 0"}
///
/// Each is an expression of the report's language, evaluated each time the control prints, in
/// which the record's fields, the function library and the totals (scoped by where the control
/// stands, as a label's) are at hand. Its value stands in for the property on that print only:
///   Visible      true or false (a number: not zero; null: false). A control or band whose
///                Visible property is false never prints; one that is Visible prints for the
///                records whose expression is true. A band left out takes no room.
///   Transparent  true or false, as Visible; the control's box is filled with its colour or not.
///   Color        a colour text as a layout writes one ("clRed", "#FF8000"); also clears
///                Transparent, as setting a colour does.
///   Font.Color   the same for the font's colour. Children that take their parent's font take it.
///   Font.Style   the style names joined by commas or blanks ("fsBold", "fsBold, fsItalic"); an
///                empty text is the plain style.
/// A colour or style expression whose value is null (or an empty text, for a colour) leaves the
/// property as the layout gives it. What the expressions change lasts one print: the next
/// record, and the control after the report, start from the layout's values.
#pragma once

#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/report/RLRegistry.h>
#include <kelmora/report/RLTextExpression.h>

#include <QColor>
#include <QString>

#include <array>
#include <optional>

namespace Kelmora {

class TRLCustomControl;
class TRLExpressionParser;

/// The values one print takes from the expressions; an empty optional keeps the layout's value.
struct TRLPropertyValues {
    bool Visible = true;
    std::optional<bool> Transparent;
    std::optional<QColor> Color;
    std::optional<QColor> FontColor;
    std::optional<TRLFontStyles> FontStyle;
};

class TRLPropertyExpressions : public TRLPersistent {
public:
    /// The properties that may follow the records, in the order they are applied.
    enum class Property { Visible, FontColor, FontStyle, Color, Transparent };
    static constexpr int PropertyCount = 5;
    /// The property's name in a layout: "Visible", "Font.Color", ...
    static QString PropertyName(Property property);

    QString ClassName() const override { return QStringLiteral("TRLPropertyExpressions"); }

    QString Text(Property property) const;
    void SetText(Property property, const QString& text);
    /// No property has an expression.
    bool IsEmpty() const;
    TRLTextExpression& Expression(Property property) { return expressions_[Index(property)]; }

    /// The values for the current record. A value the property cannot take raises TRLException,
    /// which owner tells as its own ("Label1.Expressions.Font.Color: ...").
    TRLPropertyValues Evaluate(const TRLCustomControl& owner, TRLExpressionParser& parser) const;

    /// What the owner's look was before the expressions changed it; set while they are applied.
    struct Look {
        TRLFont Font;
        QColor Color;
        bool ParentFont = true;
        bool ParentColor = true;
        bool Transparent = true;
    };
    std::optional<Look>& DesignLook() { return designLook_; }

private:
    static int Index(Property property) { return static_cast<int>(property); }
    std::array<TRLTextExpression, PropertyCount> expressions_;
    std::optional<Look> designLook_;
};

/// Registers TRLPropertyExpressions, the "Expressions" object of the controls. Called by
/// RegisterReportClasses.
void RegisterPropertyExpressions(TRLClassRegistry& registry);

/// The colour of a property expression's value; empty for null or an empty text. Raises
/// TRLException for a text that is no colour.
std::optional<QColor> PropertyColor(const TRLValue& value);
/// The font styles of a property expression's value; empty for null. Raises TRLException for an
/// unknown style name.
std::optional<TRLFontStyles> PropertyFontStyle(const TRLValue& value);

} // namespace Kelmora
