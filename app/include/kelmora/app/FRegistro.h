/// @file
/// The register window: the requests printed before, newest first, found by a text and a range
/// of days; the chosen one goes back into the request form.
#pragma once

#include <kelmora/app/RequestRegister.h>

#include <QDialog>

#include <optional>
#include <vector>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTimer;

namespace Kelmora {

class TFRegistro : public QDialog {
    Q_OBJECT

public:
    /// A window on the register at location (TRequestRegister::DefaultLocation by default). It
    /// reads the register when shown and again as the search changes; a register that cannot be
    /// read says why in the window, and the list stays empty. It lists the newest shownAtMost
    /// that match, and says so when there are more.
    explicit TFRegistro(QWidget* parent = nullptr, QString location = {}, int shownAtMost = 1000);
    ~TFRegistro() override;

    /// The request chosen with "Usar" (or Enter, or a double click), once the window is done.
    std::optional<TDatosSolicitud> Chosen() const { return chosen_; }

    /// Reads the register again with the search as it stands.
    void Search();
    /// The entries listed now, in their order.
    const std::vector<TRegisteredRequest>& Entries() const { return entries_; }

    QLineEdit* SearchText;
    QDateEdit* FromDate;
    QDateEdit* ToDate;
    QTableView* List;
    QLabel* Status;
    QPushButton* UseButton;
    QPushButton* CloseButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Use();
    void SelectionChanged();

    QString location_;
    int shownAtMost_;
    QStandardItemModel* model_;
    QTimer* searchDelay_;
    std::vector<TRegisteredRequest> entries_;
    std::optional<TDatosSolicitud> chosen_;
};

} // namespace Kelmora
