/// @file
/// The main window: a menu that opens the request form or the About box, or ends the program,
/// over the institution's picture.
#pragma once

#include <QMainWindow>

#include <memory>

namespace Ui {
class TFPrincipal;
}

class QDialog;

namespace Kelmora {

class TFPrincipal : public QMainWindow {
    Q_OBJECT

public:
    explicit TFPrincipal(QWidget* parent = nullptr);
    ~TFPrincipal() override;

    /// The windows the menu opens. They are created after the main window, so they are handed
    /// over once they exist; the main window does not own them.
    void SetMenuWindows(QDialog* kelmora, QDialog* acercaDe);

    void Kelmora1Click();
    void Salir1Click();
    void Acercade1Click();

signals:
    /// The main window has closed (by "&Salir" or its close box): the program ends.
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::TFPrincipal> ui_;
    QDialog* kelmora_ = nullptr;
    QDialog* acercaDe_ = nullptr;
};

} // namespace Kelmora
