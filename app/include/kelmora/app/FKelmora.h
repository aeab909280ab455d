/// @file
/// The travel request entry form. It keeps per-field limits, enables each dependent field only
/// when its item is chosen, filters the keys typed into the amount fields, moves the focus with
/// Enter, resets itself whenever it closes, and hands the request to the filling run on
/// "Imprimir". It validates nothing: any combination of values goes to the documents.
#pragma once

#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/app/RequestRegister.h>

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class TFKelmora;
}

class QCompleter;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QStringListModel;
class QWindow;

namespace Kelmora {

class TFKelmora : public QDialog {
    Q_OBJECT

public:
    explicit TFKelmora(QWidget* parent = nullptr);
    ~TFKelmora() override;

    /// The request as the fields hold it now.
    TDatosSolicitud DatosSolicitud() const;
    /// Fills the fields with a request, as the operator would type it, all but the departure and
    /// return dates, which stay what they are (today's, as on every opening).
    void SetDatosSolicitud(const TDatosSolicitud& d);

    /// "Buscar anteriores...": the register window; the request chosen there fills the form.
    void AnterioresClick();
    /// The button that opens the register window.
    QPushButton* Anteriores() const { return anteriores_; }
    /// Where the form reads the register (TRequestRegister::DefaultLocation when empty).
    void SetRegisterLocation(const QString& location) { registerLocation_ = location; }
    /// Reads the people of the register again for the completion of "Persona que viaja"; done
    /// on every opening. A register that cannot be read offers nobody.
    void LoadPeople();

    void FormActivate();
    void FormClose();
    void CerrIniSesClick();
    void ImprLisObsClick();
    void CB_MedioChange();
    void CK_PasajesClick();
    void CK_KelmoraClick();
    void CK_InscripcionClick();

    /// Closing, whatever closes the form, ends here; the form resets itself on the way.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    /// Key rules; true when the key was consumed.
    bool Enter2(QKeyEvent* event);
    bool Moneda(QLineEdit* edit, QKeyEvent* event);

    /// Enabled with the window colour, or disabled with the 3-D light colour; emptied either way.
    void SetDependentField(QLineEdit* edit, bool enabled);
    /// Keeps the means-of-transport list's selected entry in step with its text.
    void MedioTextEdited();
    void InstallKeyFilter(QWidget* widget, bool moneda);
    void FocusWindowChanged(QWindow* now);

    void PersonChosen(const QString& persona);

    std::unique_ptr<Ui::TFKelmora> ui_;
    QPushButton* anteriores_ = nullptr;
    QStringListModel* peopleNames_ = nullptr;
    std::vector<TRegisteredPerson> people_;
    QString registerLocation_;
    bool syncingMedio_ = false;
    bool focusInProgram_ = false;
};

} // namespace Kelmora
