#include <kelmora/report/RLSubDetail.h>

#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSqlRecords.h>

#include <kelmora/support/RLUtils.h>

namespace Kelmora {

QStringList FieldList(const QString& fields) {
    QStringList list;
    for (const QString& field : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!field.trimmed().isEmpty())
            list << field.trimmed();
    return list;
}

namespace {

// The texts of a record's key fields as one text; empty when a field is NULL, which equals
// nothing, as in SQL.
std::optional<QString> KeyOf(const QStringList& texts) {
    QString key;
    for (const QString& text : texts) {
        if (text.isNull())
            return std::nullopt;
        // A separator no text of a record holds, so that ("a;b", "c") is not ("a", "b;c").
        key += text;
        key += QChar(0x1F);
    }
    return key;
}

// The records of a query with parameters, run again for each master record.
class QueryRecords : public TRLDetailRecords {
public:
    QueryRecords(const QString& url, const QString& query, std::function<bool()> stopRequested)
        : stream_(url, query, std::move(stopRequested)) {}

    QAbstractItemModel* RecordsFor(const TRLCustomSkipper& master) override {
        QVariantList values;
        for (const QString& name : stream_.Parameters()) {
            if (!master.HasField(name))
                throw TRLException(
                    QStringLiteral("the master's records have no field \"%1\" for :%1").arg(name));
            const QString text = master.FieldText(name);
            values << (text.isNull() ? QVariant() : QVariant(text));
        }
        stream_.Run(values);
        return &stream_;
    }

private:
    TRLSqlRecordStream stream_;
};

} // namespace

// ---- TRLKeyedRecords -------------------------------------------------------------------------

TRLKeyedRecords::TRLKeyedRecords(QAbstractItemModel* source, QStringList masterFields,
                                 QStringList detailFields)
    : source_(source), masterFields_(std::move(masterFields)),
      detailFields_(detailFields.isEmpty() ? masterFields_ : std::move(detailFields)) {}

TRLKeyedRecords::TRLKeyedRecords(std::unique_ptr<QAbstractItemModel> source,
                                 QStringList masterFields, QStringList detailFields)
    : TRLKeyedRecords(source.get(), std::move(masterFields), std::move(detailFields)) {
    owned_ = std::move(source);
}

TRLKeyedRecords::~TRLKeyedRecords() = default;

void TRLKeyedRecords::Index() {
    indexed_ = true;
    if (masterFields_.size() != detailFields_.size())
        throw TRLException(QStringLiteral("%1 master fields against %2 detail fields")
                               .arg(masterFields_.size())
                               .arg(detailFields_.size()));
    while (source_->canFetchMore(QModelIndex()))
        source_->fetchMore(QModelIndex());
    if (source_->rowCount() == 0)
        return;
    std::vector<int> columns;
    for (const QString& field : detailFields_) {
        const int found = FieldColumnOf(*source_, field);
        if (found < 0)
            throw TRLException(
                QStringLiteral("the detail records have no field \"%1\"").arg(field));
        columns.push_back(found);
    }
    for (int row = 0; row < source_->rowCount(); ++row) {
        QStringList texts;
        for (const int column : columns)
            texts << source_->index(row, column).data().toString();
        if (const std::optional<QString> key = KeyOf(texts))
            rows_[*key].push_back(row);
    }
}

QAbstractItemModel* TRLKeyedRecords::RecordsFor(const TRLCustomSkipper& master) {
    if (masterFields_.isEmpty())
        throw TRLException(QStringLiteral("no master fields to join the detail records on"));
    if (!indexed_)
        Index();
    QStringList texts;
    for (const QString& field : masterFields_) {
        if (!master.HasField(field))
            throw TRLException(
                QStringLiteral("the master's records have no field \"%1\"").arg(field));
        texts << master.FieldText(field);
    }
    const std::optional<QString> key = KeyOf(texts);
    beginResetModel();
    selected_ = key ? rows_.value(*key) : QVector<int>();
    endResetModel();
    return this;
}

int TRLKeyedRecords::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(selected_.size());
}

int TRLKeyedRecords::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : source_->columnCount();
}

QVariant TRLKeyedRecords::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= selected_.size())
        return QVariant();
    return source_->index(selected_[index.row()], index.column()).data(role);
}

QVariant TRLKeyedRecords::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    return source_->headerData(section, orientation, role);
}

// ---- TRLCustomSubDetail ----------------------------------------------------------------------

TRLCustomSubDetail::TRLCustomSubDetail(TRLCustomControl* parent) : TRLCustomSkipper(parent) {
    SetHeight(64);
}

TRLCustomSubDetail::~TRLCustomSubDetail() {
    // The records go before the skipper that reads them.
    SetDataSource(nullptr);
}

void TRLCustomSubDetail::ForgetRecords() {
    if (!ownRecords_)
        return;
    SetDataSource(nullptr);
    detailRecords_.reset();
    ownRecords_ = false;
}

void TRLCustomSubDetail::SetMasterFields(const QString& fields) {
    masterFields_ = fields;
    ForgetRecords();
}

void TRLCustomSubDetail::SetDetailFields(const QString& fields) {
    detailFields_ = fields;
    ForgetRecords();
}

void TRLCustomSubDetail::SetRecords(const QString& path) {
    records_ = path;
    ForgetRecords();
}

void TRLCustomSubDetail::SetQuery(const QString& query) {
    query_ = query;
    ForgetRecords();
}

void TRLCustomSubDetail::SetDatabase(const QString& url, std::function<bool()> stopRequested) {
    database_ = url;
    stopRequested_ = std::move(stopRequested);
    ForgetRecords();
}

void TRLCustomSubDetail::SetDetailRecords(std::unique_ptr<TRLDetailRecords> records) {
    SetDataSource(nullptr);
    detailRecords_ = std::move(records);
    ownRecords_ = false;
}

TRLDetailRecords& TRLCustomSubDetail::DetailRecords(QString& property) {
    property = !query_.trimmed().isEmpty() ? QStringLiteral("Query") : QStringLiteral("Records");
    if (detailRecords_)
        return *detailRecords_;
    if (!query_.trimmed().isEmpty()) {
        if (database_.isEmpty())
            throw TRLException(QStringLiteral("no database to run the query on (rltool: --db)"));
        detailRecords_ = std::make_unique<QueryRecords>(database_, query_, stopRequested_);
    } else if (!records_.trimmed().isEmpty()) {
        const QString path =
            PathInFolder(records_, RequireParentReport().RootReport().LayoutFolder());
        detailRecords_ = std::make_unique<TRLKeyedRecords>(
            ReadJsonRecords(path), FieldList(masterFields_), FieldList(detailFields_));
    } else {
        throw TRLException(QStringLiteral("no detail records: give Records or Query"));
    }
    ownRecords_ = true;
    return *detailRecords_;
}

void TRLCustomSubDetail::PrintSubDetail() {
    TRLCustomSkipper& master = RequireParentSkipper();
    if (master.Eof())
        return;
    TRLCustomReport& report = RequireParentReport();
    QString property;
    try {
        QAbstractItemModel* records = DetailRecords(property).RecordsFor(master);
        if (records != DataSource())
            SetDataSource(records);
        OpenRecords();
    } catch (const TRLException& e) {
        throw ExpressionError(e, property);
    }
    if (Eof() && !PrintEmpty())
        return;
    // Names are the detail record's fields first, then the master's.
    const TRLCustomReport::FieldScope fields(report, *this);
    report.ResetAggregates(*this);
    BeginRun();
    OpenSurface();
    while (!Eof() && !report.RootReport().Canceled()) {
        PrintDetail();
        if (!detailAdvanced_)
            NextRecord();
    }
    CompletePage();
    PrintFooters(true);
    CloseSurface();
}

void TRLCustomSubDetail::ComputePrintRect() {
    PlaceAtParentCursor();
}

void TRLCustomSubDetail::TransferSurface() {
    TransferToParentCursor();
}

} // namespace Kelmora
