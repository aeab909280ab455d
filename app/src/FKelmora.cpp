#include <kelmora/app/FKelmora.h>

#include "AppResources.h"
#include "KeyFilters.h"
#include "ui_FKelmora.h"
#include <kelmora/app/FRegistro.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/dialogs/RLAccessibility.h>

#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QValidator>
#include <QWindow>

#include <tuple>

namespace Kelmora {

namespace {

// Shows and keeps a line edit's text in upper case, whether typed, pasted or set.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

TFKelmora::TFKelmora(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::TFKelmora>()) {
    PrepareAppResources();
    ui_->setupUi(this);
    FixDialogFrame(*this);
    setFont(DesignFont());

    // The heading: 12-point Arial, bold, in the colour of links.
    QFont heading = ui_->Label1->font();
    heading.setPixelSize(16);
    ui_->Label1->setFont(heading);
    QPalette headingPalette = ui_->Label1->palette();
    headingPalette.setColor(QPalette::WindowText, palette().color(QPalette::Link));
    ui_->Label1->setPalette(headingPalette);
    for (QLabel* label : findChildren<QLabel*>()) {
        label->adjustSize();
    }

    ui_->ImprLisObs->setIcon(AppGlyphIcon(QStringLiteral(":/kelmora/imprimir.bmp")));
    ui_->CerrIniSes->setIcon(AppGlyphIcon(QStringLiteral(":/kelmora/cerrar.bmp")));
    // The means of transport is typed into the list's own box, which a screen reader reads on
    // its own: it carries the list's name. The frame around the heading is decoration.
    if (QLineEdit* typed = ui_->CB_Medio->lineEdit())
        typed->setAccessibleName(ui_->CB_Medio->accessibleName());
    SetAccessibleRole(*ui_->Bevel1, QAccessible::Pane);

    for (QLineEdit* edit :
         {ui_->E_Patente, ui_->E_MontoPasaje, ui_->E_DiasKelmora, ui_->E_MontoInscripcion}) {
        edit->setValidator(new TUpperCaseValidator(edit));
        SetDependentField(edit, false);
    }

    // First opening: both lists show nothing, the means of transport reads "Omnibus" without a
    // selected entry, and the dates are today's until activation sets them again.
    ui_->E_Categoria->setCurrentIndex(-1);
    ui_->E_Dedicacion->setCurrentIndex(-1);
    {
        const QSignalBlocker quiet(ui_->CB_Medio);
        ui_->CB_Medio->setCurrentIndex(-1);
        ui_->CB_Medio->setEditText(MedioEntries().at(1));
    }
    // Without a completer the selected entry follows exactly what the operator typed.
    ui_->CB_Medio->setCompleter(nullptr);
    const QString dateFormat = QLocale().dateFormat(QLocale::ShortFormat);
    for (QDateEdit* date : {ui_->D_Salida, ui_->D_Regreso}) {
        date->setDisplayFormat(dateFormat);
        date->setDate(QDate::currentDate());
    }

    for (QWidget* widget : std::initializer_list<QWidget*>{
             ui_->E_Persona, ui_->E_DNI, ui_->E_Categoria, ui_->E_Dedicacion, ui_->E_Destino,
             ui_->CB_Medio, ui_->E_Patente, ui_->D_Salida, ui_->D_HoraSalida, ui_->D_Regreso,
             ui_->D_HoraRegreso, ui_->CK_Pasajes, ui_->CK_Kelmora, ui_->E_DiasKelmora,
             ui_->CK_Inscripcion}) {
        InstallKeyFilter(widget, false);
    }
    InstallKeyFilter(ui_->E_MontoPasaje, true);
    InstallKeyFilter(ui_->E_MontoInscripcion, true);

    connect(ui_->CB_Medio, &QComboBox::editTextChanged, this, &TFKelmora::MedioTextEdited);
    // Choosing an entry runs the rule even when it was already selected: the plate is emptied
    // on every choice.
    connect(ui_->CB_Medio, &QComboBox::activated, this, [this] {
        if (!syncingMedio_) {
            CB_MedioChange();
        }
    });
    connect(ui_->CB_Medio, &QComboBox::currentIndexChanged, this, [this] {
        if (!syncingMedio_) {
            CB_MedioChange();
        }
    });
    connect(ui_->CK_Pasajes, &QCheckBox::toggled, this, &TFKelmora::CK_PasajesClick);
    connect(ui_->CK_Kelmora, &QCheckBox::toggled, this, &TFKelmora::CK_KelmoraClick);
    connect(ui_->CK_Inscripcion, &QCheckBox::toggled, this, &TFKelmora::CK_InscripcionClick);
    connect(ui_->ImprLisObs, &QPushButton::clicked, this, &TFKelmora::ImprLisObsClick);
    // The register: a button to the earlier requests, beside the form's own buttons, and the
    // people already in it offered as "Persona que viaja" is typed.
    anteriores_ = new QPushButton(QStringLiteral("&Buscar anteriores..."), this);
    anteriores_->setObjectName(QStringLiteral("B_Anteriores"));
    anteriores_->setGeometry(16, 502, 140, 25);
    anteriores_->setAccessibleName(QStringLiteral("Buscar anteriores"));
    anteriores_->setToolTip(QStringLiteral("Solicitudes impresas antes, para usarlas de nuevo"));
    connect(anteriores_, &QPushButton::clicked, this, &TFKelmora::AnterioresClick);
    // Last in the Tab order, after the form's own controls: Enter still walks from the last item
    // to "Imprimir".
    peopleNames_ = new QStringListModel(this);
    auto* completer = new QCompleter(peopleNames_, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    ui_->E_Persona->setCompleter(completer);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this,
            &TFKelmora::PersonChosen);

    // "Imprimir" has no accelerator of its own (Alt+I is "Inscripción"'s) and stands last in the
    // Tab order: the desktop's print key reaches it from anywhere in the form, as a click would.
    auto* print = new QShortcut(QKeySequence::Print, this);
    connect(print, &QShortcut::activated, ui_->ImprLisObs, &QPushButton::click);
    ui_->ImprLisObs->setToolTip(
        QStringLiteral("Imprimir (%1)")
            .arg(QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText)));
    focusInProgram_ = QGuiApplication::focusWindow() != nullptr;
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TFKelmora::FocusWindowChanged);
    connect(ui_->CerrIniSes, &QPushButton::clicked, this, &TFKelmora::CerrIniSesClick);
}

TFKelmora::~TFKelmora() {
    // The fields outlive this body by a moment, and one may still signal on its way out (the
    // means-of-transport list, losing its entries, says its entry changed), as may the
    // application when the window's focus goes; by then the fields' table is gone, so nothing
    // may reach the form any more.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
    QObject::disconnect(qApp, nullptr, this, nullptr);
}

void TFKelmora::InstallKeyFilter(QWidget* widget, bool moneda) {
    widget->setProperty("kelmoraMoneda", moneda);
    widget->installEventFilter(this);
    // Editable lists and the date and time pickers type into an inner line edit.
    for (QLineEdit* inner : widget->findChildren<QLineEdit*>()) {
        inner->setProperty("kelmoraMoneda", moneda);
        inner->installEventFilter(this);
    }
}

TDatosSolicitud TFKelmora::DatosSolicitud() const {
    TDatosSolicitud d;
    d.Persona = ui_->E_Persona->text();
    d.DNI = ui_->E_DNI->text();
    d.Categoria = ui_->E_Categoria->currentText();
    d.Dedicacion = ui_->E_Dedicacion->currentText();
    d.Motivo = ui_->M_Motivo->toPlainText();
    d.Destino = ui_->E_Destino->text();
    d.Medio = ui_->CB_Medio->currentText();
    d.MedioIndice = ui_->CB_Medio->currentIndex();
    d.Patente = ui_->E_Patente->text();
    d.Salida = ui_->D_Salida->date();
    const QTime salida = ui_->D_HoraSalida->time();
    d.HoraSalida = QTime(salida.hour(), salida.minute());
    d.Regreso = ui_->D_Regreso->date();
    const QTime regreso = ui_->D_HoraRegreso->time();
    d.HoraRegreso = QTime(regreso.hour(), regreso.minute());
    d.SolicitaPasajes = ui_->CK_Pasajes->isChecked();
    d.MontoPasaje = ui_->E_MontoPasaje->text();
    d.SolicitaKelmora = ui_->CK_Kelmora->isChecked();
    d.DiasKelmora = ui_->E_DiasKelmora->text();
    d.SolicitaInscripcion = ui_->CK_Inscripcion->isChecked();
    d.MontoInscripcion = ui_->E_MontoInscripcion->text();
    return d;
}

void TFKelmora::SetDatosSolicitud(const TDatosSolicitud& d) {
    ui_->E_Persona->setText(d.Persona);
    ui_->E_DNI->setText(d.DNI);
    ui_->E_Categoria->setCurrentIndex(ui_->E_Categoria->findText(d.Categoria));
    ui_->E_Dedicacion->setCurrentIndex(ui_->E_Dedicacion->findText(d.Dedicacion));
    ui_->M_Motivo->setPlainText(d.Motivo);
    ui_->E_Destino->setText(d.Destino);
    // The entry first (its rule empties the plate), then the text as it was: an entry's own, or
    // another means typed, which selects no entry.
    if (d.MedioIndice >= 0 && d.MedioIndice < ui_->CB_Medio->count()) {
        ui_->CB_Medio->setCurrentIndex(d.MedioIndice);
    } else {
        ui_->CB_Medio->setCurrentIndex(-1);
        ui_->CB_Medio->setEditText(d.Medio);
    }
    CB_MedioChange();
    if (ui_->E_Patente->isEnabled())
        ui_->E_Patente->setText(d.Patente);
    ui_->D_HoraSalida->setTime(d.HoraSalida);
    ui_->D_HoraRegreso->setTime(d.HoraRegreso);
    // Ticking empties the field beside it, which is then filled.
    const std::tuple<QCheckBox*, bool, QLineEdit*, QString> items[] = {
        {ui_->CK_Pasajes, d.SolicitaPasajes, ui_->E_MontoPasaje, d.MontoPasaje},
        {ui_->CK_Kelmora, d.SolicitaKelmora, ui_->E_DiasKelmora, d.DiasKelmora},
        {ui_->CK_Inscripcion, d.SolicitaInscripcion, ui_->E_MontoInscripcion, d.MontoInscripcion}};
    for (const auto& [check, asked, field, text] : items) {
        check->setChecked(asked);
        SetDependentField(field, asked);
        if (asked)
            field->setText(text);
    }
}

void TFKelmora::AnterioresClick() {
    TFRegistro window(this, registerLocation_);
    window.setWindowModality(Qt::WindowModal);
    if (window.exec() == QDialog::Accepted && window.Chosen())
        SetDatosSolicitud(*window.Chosen());
    ui_->E_Persona->setFocus(Qt::OtherFocusReason);
}

void TFKelmora::LoadPeople() {
    people_.clear();
    try {
        const TRequestRegister reg(registerLocation_.isEmpty() ? TRequestRegister::DefaultLocation()
                                                               : registerLocation_);
        people_ = reg.People();
    } catch (const TRequestRegisterError&) {
        // Nobody is offered; the register's fault is told when a request is printed.
    }
    QStringList names;
    for (const TRegisteredPerson& person : people_)
        names << person.Persona;
    peopleNames_->setStringList(names);
}

void TFKelmora::PersonChosen(const QString& persona) {
    for (const TRegisteredPerson& person : people_) {
        if (person.Persona != persona)
            continue;
        ui_->E_DNI->setText(person.DNI);
        ui_->E_Categoria->setCurrentIndex(ui_->E_Categoria->findText(person.Categoria));
        ui_->E_Dedicacion->setCurrentIndex(ui_->E_Dedicacion->findText(person.Dedicacion));
        return;
    }
}

void TFKelmora::FormActivate() {
    ui_->D_Salida->setDate(QDate::currentDate());
    ui_->D_Regreso->setDate(QDate::currentDate());
}

void TFKelmora::FormClose() {
    ui_->E_Persona->clear();
    ui_->E_DNI->clear();
    ui_->E_Categoria->setCurrentIndex(0);
    ui_->E_Dedicacion->setCurrentIndex(0);
    ui_->M_Motivo->clear();
    ui_->E_Destino->clear();
    ui_->CB_Medio->setCurrentIndex(0);
    SetDependentField(ui_->E_Patente, false);
    ui_->CK_Pasajes->setChecked(false);
    ui_->CK_Kelmora->setChecked(false);
    ui_->CK_Inscripcion->setChecked(false);
    SetDependentField(ui_->E_MontoPasaje, false);
    SetDependentField(ui_->E_DiasKelmora, false);
    SetDependentField(ui_->E_MontoInscripcion, false);
}

void TFKelmora::CerrIniSesClick() {
    close();
}

void TFKelmora::ImprLisObsClick() {
    RunFillingRun(DatosSolicitud(), this);
}

void TFKelmora::CB_MedioChange() {
    // The rule looks at the selected entry, never at the text, and empties the plate on every
    // change, also when it stays enabled.
    SetDependentField(ui_->E_Patente, ui_->CB_Medio->currentIndex() == kMedioVehiculoParticular);
}

void TFKelmora::CK_PasajesClick() {
    SetDependentField(ui_->E_MontoPasaje, ui_->CK_Pasajes->isChecked());
}

void TFKelmora::CK_KelmoraClick() {
    SetDependentField(ui_->E_DiasKelmora, ui_->CK_Kelmora->isChecked());
}

void TFKelmora::CK_InscripcionClick() {
    SetDependentField(ui_->E_MontoInscripcion, ui_->CK_Inscripcion->isChecked());
}

void TFKelmora::SetDependentField(QLineEdit* edit, bool enabled) {
    edit->setEnabled(enabled);
    QPalette colours = edit->palette();
    const QPalette& system = QApplication::palette();
    colours.setColor(QPalette::Base,
                     enabled ? system.color(QPalette::Base) : system.color(QPalette::Midlight));
    edit->setPalette(colours);
    edit->clear();
}

void TFKelmora::MedioTextEdited() {
    if (syncingMedio_) {
        return;
    }
    // Typed text selects the entry it spells exactly and no entry otherwise. Moving the
    // selection makes the list rewrite its text, so the operator's text, cursor and selection
    // are put back afterwards.
    QComboBox* medio = ui_->CB_Medio;
    QLineEdit* edit = medio->lineEdit();
    const QString text = edit->text();
    const int match = medio->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (match != medio->currentIndex()) {
        const int cursor = edit->cursorPosition();
        const int selectionStart = edit->selectionStart();
        const int selectionLength = static_cast<int>(edit->selectedText().size());
        const QScopedValueRollback syncing(syncingMedio_, true);
        medio->setCurrentIndex(match);
        if (edit->text() != text) {
            edit->setText(text);
        }
        if (selectionStart >= 0) {
            edit->setSelection(selectionStart, selectionLength);
        } else {
            edit->setCursorPosition(cursor);
        }
    }
    CB_MedioChange();
}

void TFKelmora::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TFKelmora::FocusWindowChanged(QWindow* now) {
    // Coming back from another window of the program (a preview, the operator's message) sets
    // the dates to today; coming back from another program leaves what was typed. On the way
    // from another program the program has no focus window for a moment.
    const bool fromOwnWindow = focusInProgram_;
    focusInProgram_ = now != nullptr;
    if (now != nullptr && now == windowHandle() && fromOwnWindow && isVisible()) {
        FormActivate();
    }
}

void TFKelmora::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the dialog and, through the reset, throw away a request being typed;
    // the form closes only by "Cerrar" or its close box.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFKelmora::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    // Every opening starts from today's dates, and offers the people printed for since.
    FormActivate();
    LoadPeople();
    // Each opening starts at the first field, wherever the focus was when the form closed.
    ui_->E_Persona->setFocus(Qt::ActiveWindowFocusReason);
    QDialog::showEvent(event);
}

bool TFKelmora::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QVariant moneda = watched->property("kelmoraMoneda");
        if (moneda.isValid()) {
            auto* edit = qobject_cast<QLineEdit*>(watched);
            return moneda.toBool() && edit != nullptr ? Moneda(edit, key) : Enter2(key);
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TFKelmora::Enter2(QKeyEvent* event) {
    if (TypedCharacter(*event) != kCharEnter) {
        return false;
    }
    focusNextChild();
    return true;
}

bool TFKelmora::Moneda(QLineEdit* edit, QKeyEvent* event) {
    const QChar typed = TypedCharacter(*event);
    if (typed.isNull()) {
        return false; // cursor movement, Delete, Tab and the like
    }
    const QString accepted = MonedaCharacter(typed, UserDecimalSeparator());
    if (accepted.isEmpty()) {
        return true;
    }
    if (accepted == kCharEnter) {
        focusNextChild();
        return true;
    }
    if (accepted == typed) {
        return false; // a digit or Backspace: the edit does its usual work
    }
    edit->insert(accepted);
    return true;
}

} // namespace Kelmora
