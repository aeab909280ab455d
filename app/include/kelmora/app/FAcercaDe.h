/// @file
/// The About box: system name, version, date and maker beside the logo, and a "Cerrar" button.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TFAcercaDe;
}

namespace Kelmora {

class TFAcercaDe : public QDialog {
    Q_OBJECT

public:
    explicit TFAcercaDe(QWidget* parent = nullptr);
    ~TFAcercaDe() override;

    void CerrIniSesClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TFAcercaDe> ui_;
};

} // namespace Kelmora
