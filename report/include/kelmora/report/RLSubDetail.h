/// @file
/// Master-detail reports: a subdetail prints, for each record of its master (the report, or the
/// subdetail it stands in), the records of a second source that belong to it: an invoice's lines
/// under the invoice.
///
///   {"class": "TRLSubDetail", "name": "Lines", "Records": "lines.json",
///    "MasterFields": "id", "DetailFields": "invoice_id", "children": [ bands ... ]}
///   {"class": "TRLSubDetail", "name": "Lines", "children": [ ... ],
///    "Query": "SELECT item, qty, price FROM lines WHERE invoice_id = :id ORDER BY line"}
///
/// The second source is a JSON records file joined on key fields (the detail records whose
/// DetailFields equal the master's MasterFields, text for text; a NULL equals nothing), or an SQL
/// query run for each master record on the program's database, whose named parameters (":id")
/// are bound from the master record's fields of the same names: bound as values, never written
/// into the query. A program may give its own records instead (SetDetailRecords).
///
/// A subdetail stands among the bands of its master after its detail bands, and prints right
/// after them for each master record. It is a pager of its own: title and summary once for each
/// master record, headers and column headers at the top of every page it continues on, its own
/// detail bands, groups and page breaks, totals that count its records and start again for each
/// master record. Its controls read their fields from the detail record first and then from the
/// master's, so a line can print its invoice's number.
#pragma once

#include <kelmora/report/RLBands.h>

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace Kelmora {

/// Where a subdetail's records come from.
class TRLDetailRecords {
public:
    virtual ~TRLDetailRecords() = default;
    /// The detail records of the master's current record; the model lives until the next call
    /// or the end of this object. Raises TRLException saying what is wrong.
    virtual QAbstractItemModel* RecordsFor(const TRLCustomSkipper& master) = 0;
};

/// The records of a model joined on key fields: those whose detailFields' texts equal the
/// master's masterFields', in the model's order. The model is read to its end once, when the
/// first master record asks, and indexed by key, so it must hold its rows (a TRLJsonRecordsModel,
/// not a stream that keeps a window of them).
class TRLKeyedRecords : public QAbstractTableModel, public TRLDetailRecords {
public:
    TRLKeyedRecords(QAbstractItemModel* source, QStringList masterFields, QStringList detailFields);
    /// The same over a model it owns.
    TRLKeyedRecords(std::unique_ptr<QAbstractItemModel> source, QStringList masterFields,
                    QStringList detailFields);
    ~TRLKeyedRecords() override;

    QAbstractItemModel* RecordsFor(const TRLCustomSkipper& master) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void Index();

    std::unique_ptr<QAbstractItemModel> owned_;
    QAbstractItemModel* source_;
    QStringList masterFields_;
    QStringList detailFields_;
    bool indexed_ = false;
    QHash<QString, QVector<int>> rows_;
    QVector<int> selected_;
};

class TRLCustomSubDetail : public TRLCustomSkipper {
    Q_OBJECT

public:
    explicit TRLCustomSubDetail(TRLCustomControl* parent = nullptr);
    ~TRLCustomSubDetail() override;

    /// The master record's fields, separated by ";", that a detail record's DetailFields must
    /// equal (with Records, or a program's keyed records).
    QString MasterFields() const { return masterFields_; }
    void SetMasterFields(const QString& fields);
    /// The detail records' fields matched against MasterFields, in their order; empty: the same
    /// names as MasterFields.
    QString DetailFields() const { return detailFields_; }
    void SetDetailFields(const QString& fields);
    /// A JSON records file, relative to the layout's folder, read whole as the detail records.
    QString Records() const { return records_; }
    void SetRecords(const QString& path);
    /// An SQL query run on Database for each master record, its named parameters bound from the
    /// master record's fields of the same names.
    QString Query() const { return query_; }
    void SetQuery(const QString& query);
    /// The database Query runs on (see kelmora/report/RLSqlRecords.h), and the check that stops
    /// a query running long: a program gives them (rltool: its --db).
    QString Database() const { return database_; }
    void SetDatabase(const QString& url, std::function<bool()> stopRequested = {});
    /// Records of the program's own, in place of Records and Query.
    void SetDetailRecords(std::unique_ptr<TRLDetailRecords> records);

    /// Prints the detail records of the master's current record (nothing when there are none,
    /// unless PrintEmpty).
    void PrintSubDetail();

    int AlignPriority() const override { return 32; }

protected:
    void ComputePrintRect() override;
    void TransferSurface() override;

private:
    /// The records, made from Records or Query when the program gave none; the property that
    /// named them, for errors.
    TRLDetailRecords& DetailRecords(QString& property);
    void ForgetRecords();

    QString masterFields_;
    QString detailFields_;
    QString records_;
    QString query_;
    QString database_;
    std::function<bool()> stopRequested_;
    std::unique_ptr<TRLDetailRecords> detailRecords_;
    bool ownRecords_ = false; // made here from the properties
};

class TRLSubDetail : public TRLCustomSubDetail {
    Q_OBJECT

public:
    explicit TRLSubDetail(TRLCustomControl* parent = nullptr) : TRLCustomSubDetail(parent) {}
};

/// The field names of a ";"-separated list, blanks around them trimmed, empty ones left out.
QStringList FieldList(const QString& fields);

} // namespace Kelmora
