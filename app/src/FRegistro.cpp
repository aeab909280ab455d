#include <kelmora/app/FRegistro.h>

#include "AppResources.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace Kelmora {

namespace {

// The date boxes' lowest date stands for "no limit", shown as such.
const QDate kNoLimit(2000, 1, 1);

QString DocumentsText(const QStringList& documents) {
    QStringList names;
    for (const QString& document : documents) {
        if (document == kDocumentSolicitud)
            names << QStringLiteral("solicitud");
        else if (document == kDocumentDeclaracionJurada)
            names << QStringLiteral("declaración jurada");
        else if (document == kDocumentVehiculoParticular)
            names << QStringLiteral("vehículo particular");
        else
            names << document;
    }
    return names.join(QStringLiteral(", "));
}

QDateEdit* MakeDateBox(QWidget* parent) {
    auto* box = new QDateEdit(parent);
    box->setCalendarPopup(true);
    box->setMinimumDate(kNoLimit);
    box->setSpecialValueText(QStringLiteral("sin límite"));
    box->setDate(kNoLimit);
    return box;
}

} // namespace

TFRegistro::TFRegistro(QWidget* parent, QString location, int shownAtMost)
    : QDialog(parent),
      location_(location.isEmpty() ? TRequestRegister::DefaultLocation() : std::move(location)),
      shownAtMost_(std::max(shownAtMost, 1)) {
    PrepareAppResources();
    setWindowTitle(QStringLiteral("Solicitudes anteriores"));
    setObjectName(QStringLiteral("FRegistro"));
    resize(1000, 480);

    auto* search = new QLabel(QStringLiteral("&Buscar:"), this);
    SearchText = new QLineEdit(this);
    SearchText->setPlaceholderText(QStringLiteral("persona, D.N.I., destino o motivo"));
    SearchText->setClearButtonEnabled(true);
    search->setBuddy(SearchText);
    auto* from = new QLabel(QStringLiteral("&Desde:"), this);
    FromDate = MakeDateBox(this);
    from->setBuddy(FromDate);
    auto* to = new QLabel(QStringLiteral("&Hasta:"), this);
    ToDate = MakeDateBox(this);
    to->setBuddy(ToDate);

    model_ = new QStandardItemModel(0, 7, this);
    model_->setHorizontalHeaderLabels({QStringLiteral("Impresa"), QStringLiteral("Persona"),
                                       QStringLiteral("D.N.I."), QStringLiteral("Destino"),
                                       QStringLiteral("Salida"), QStringLiteral("Operador"),
                                       QStringLiteral("Documentos")});
    List = new QTableView(this);
    List->setModel(model_);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setTabKeyNavigation(false);
    List->verticalHeader()->hide();
    List->horizontalHeader()->setStretchLastSection(true);
    List->setAlternatingRowColors(true);
    List->setWordWrap(false);
    auto* listLabel = new QLabel(QStringLiteral("&Solicitudes, la más reciente primero:"), this);
    listLabel->setBuddy(List);

    Status = new QLabel(this);
    Status->setWordWrap(true);
    UseButton = new QPushButton(QStringLiteral("&Usar"), this);
    UseButton->setDefault(true);
    UseButton->setEnabled(false);
    CloseButton = new QPushButton(QStringLiteral("&Cerrar"), this);

    // Names for assistive technology: the boxes by their labels (buddies), the rest here.
    SearchText->setAccessibleName(QStringLiteral("Buscar"));
    FromDate->setAccessibleName(QStringLiteral("Desde"));
    ToDate->setAccessibleName(QStringLiteral("Hasta"));
    List->setAccessibleName(QStringLiteral("Solicitudes anteriores"));
    Status->setAccessibleName(QStringLiteral("Estado"));
    for (QPushButton* button : {UseButton, CloseButton})
        button->setAccessibleName(button->text().remove(u'&'));
    const std::pair<QObject*, const char*> named[] = {
        {SearchText, "SearchText"},  {FromDate, "FromDate"},
        {ToDate, "ToDate"},          {List, "List"},
        {Status, "Status"},          {UseButton, "UseButton"},
        {CloseButton, "CloseButton"}};
    for (const auto& [object, name] : named)
        object->setObjectName(QString::fromLatin1(name));

    auto* filters = new QHBoxLayout;
    filters->addWidget(search);
    filters->addWidget(SearchText, 1);
    filters->addSpacing(12);
    filters->addWidget(from);
    filters->addWidget(FromDate);
    filters->addWidget(to);
    filters->addWidget(ToDate);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Status, 1);
    buttons->addWidget(UseButton);
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(listLabel);
    layout->addWidget(List, 1);
    layout->addLayout(buttons);
    setTabOrder(SearchText, FromDate);
    setTabOrder(FromDate, ToDate);
    setTabOrder(ToDate, List);
    setTabOrder(List, UseButton);
    setTabOrder(UseButton, CloseButton);

    // The search follows the typing a moment after it pauses, so that a shared register is not
    // asked once per key.
    searchDelay_ = new QTimer(this);
    searchDelay_->setSingleShot(true);
    searchDelay_->setInterval(250);
    connect(searchDelay_, &QTimer::timeout, this, &TFRegistro::Search);
    connect(SearchText, &QLineEdit::textChanged, searchDelay_, qOverload<>(&QTimer::start));
    connect(FromDate, &QDateEdit::dateChanged, this, &TFRegistro::Search);
    connect(ToDate, &QDateEdit::dateChanged, this, &TFRegistro::Search);
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFRegistro::SelectionChanged);
    connect(List, &QTableView::activated, this, &TFRegistro::Use);
    connect(UseButton, &QPushButton::clicked, this, &TFRegistro::Use);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

TFRegistro::~TFRegistro() = default;

void TFRegistro::showEvent(QShowEvent* event) {
    Search();
    SearchText->setFocus(Qt::ActiveWindowFocusReason);
    QDialog::showEvent(event);
}

void TFRegistro::Search() {
    searchDelay_->stop();
    const QDate from = FromDate->date() == kNoLimit ? QDate() : FromDate->date();
    const QDate to = ToDate->date() == kNoLimit ? QDate() : ToDate->date();
    entries_.clear();
    model_->removeRows(0, model_->rowCount());
    try {
        const TRequestRegister reg(location_);
        // One more than is shown, to know whether there are more.
        entries_ = reg.Find(
            {.Text = SearchText->text(), .From = from, .To = to, .Limit = shownAtMost_ + 1});
    } catch (const TRequestRegisterError& error) {
        Status->setText(QStringLiteral("No se pudo leer el registro: %1.").arg(error.Reason()));
        Status->setToolTip(error.Detail());
        SelectionChanged();
        return;
    }
    const bool more = static_cast<int>(entries_.size()) > shownAtMost_;
    if (more)
        entries_.resize(static_cast<size_t>(shownAtMost_));
    const QLocale locale;
    for (const TRegisteredRequest& entry : entries_) {
        const TDatosSolicitud& d = entry.Request;
        QList<QStandardItem*> row;
        for (const QString& text :
             {locale.toString(entry.Printed.toLocalTime(), QLocale::ShortFormat), d.Persona, d.DNI,
              d.Destino, locale.toString(d.Salida, QLocale::ShortFormat), entry.PrintedBy,
              DocumentsText(entry.Documents)}) {
            row << new QStandardItem(text);
            // A text cut short at the column's edge is read whole in its tip.
            row.back()->setToolTip(text);
        }
        model_->appendRow(row);
    }
    // Every column as wide as its texts but the documents, last, which take the room left and
    // are cut short there rather than push the others out of sight.
    for (int column = 0; column + 1 < model_->columnCount(); ++column)
        List->resizeColumnToContents(column);
    Status->setToolTip(QString());
    const QString count = locale.toString(static_cast<qlonglong>(entries_.size()));
    Status->setText(
        more ? QStringLiteral("Se muestran las %1 más recientes; hay más: acote la búsqueda o las "
                              "fechas.")
                   .arg(count)
        : entries_.empty()     ? QStringLiteral("Ninguna solicitud coincide.")
        : entries_.size() == 1 ? QStringLiteral("1 solicitud.")
                               : QStringLiteral("%1 solicitudes.").arg(count));
    if (!entries_.empty())
        List->selectRow(0);
    SelectionChanged();
}

void TFRegistro::SelectionChanged() {
    UseButton->setEnabled(List->selectionModel()->hasSelection());
}

void TFRegistro::Use() {
    const QModelIndexList rows = List->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const int row = rows.front().row();
    if (row < 0 || row >= static_cast<int>(entries_.size()))
        return;
    chosen_ = entries_[static_cast<size_t>(row)].Request;
    accept();
}

} // namespace Kelmora
