/// @file
/// The request register: every request printed, kept with when, by whom and which documents, so
/// that it can be found again and reused. One desk keeps it in an SQLite file of the user's own;
/// an office shares one on a PostgreSQL server. Both go through Qt SQL, on the same statements.
#pragma once

#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/support/RLCore.h>

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QSqlError;

namespace Kelmora {

/// A register that cannot be opened, read or written. Reason says why in the program's language
/// (Spanish), for the operator; Detail is what the database itself said, for whoever mends it.
class TRequestRegisterError : public TRLException {
public:
    TRequestRegisterError(QString reason, QString detail)
        : TRLException(detail.isEmpty() ? reason : reason + QStringLiteral(" (") + detail + u')'),
          reason_(std::move(reason)), detail_(std::move(detail)) {}
    const QString& Reason() const noexcept { return reason_; }
    const QString& Detail() const noexcept { return detail_; }

private:
    QString reason_;
    QString detail_;
};

/// One printed request as the register keeps it.
struct TRegisteredRequest {
    qint64 Id = 0;
    QDateTime Printed; // UTC, to the millisecond
    QString PrintedBy; // the desktop user's login name
    QStringList Documents;
    TDatosSolicitud Request;
};

/// The documents' names as the register lists them: the names of their files.
inline const QString kDocumentSolicitud = QStringLiteral("solicitud");
inline const QString kDocumentDeclaracionJurada = QStringLiteral("declaracion-jurada");
inline const QString kDocumentVehiculoParticular = QStringLiteral("vehiculo-particular");

/// What to look for: Text anywhere in the person, the identity number (with or without its dots),
/// the destination or the reason, whatever the case and the accents; printed between From and To
/// (local dates, both included; an invalid date leaves that end open). At most Limit, newest first.
struct TRegisterSearch {
    QString Text{};
    QDate From{};
    QDate To{};
    int Limit = 1000;
};

/// A person already in the register, with the identity number, category and dedication of the
/// newest request made for them.
struct TRegisteredPerson {
    QString Persona;
    QString DNI;
    QString Categoria;
    QString Dedicacion;
};

class TRequestRegister {
public:
    /// The schema version this program writes; a register of an older one is brought forward
    /// when it is opened, one of a newer one is refused.
    static constexpr int SchemaVersion = 1;

    /// Opens the register at location, creating it (and its schema) when it does not exist yet:
    /// a postgresql:// URL, or an SQLite file (a path, or sqlite:PATH) created readable by its
    /// owner alone, as it holds people's identity numbers. A file that another program holds
    /// locked is waited for up to busyTimeoutMs, and so is a server's answer on connecting (in
    /// whole seconds, unless the URL's connect_timeout says otherwise). Throws
    /// TRequestRegisterError.
    explicit TRequestRegister(const QString& location, int busyTimeoutMs = 10000);
    ~TRequestRegister();
    TRequestRegister(const TRequestRegister&) = delete;
    TRequestRegister& operator=(const TRequestRegister&) = delete;

    /// Where the register is, for messages: the URL without a password, or the file's path.
    QString DisplayLocation() const;

    /// The register to use, in order: the environment's KELMORA_REGISTER, the settings file's
    /// "register" entry, and the SQLite file registro.sqlite in the user's data folder.
    static QString DefaultLocation();

    /// Records one printed request in a transaction of its own: it is there whole or not at all.
    /// Returns its id. Throws TRequestRegisterError.
    qint64 Record(const TDatosSolicitud& request, const QStringList& documents,
                  const QString& printedBy, const QDateTime& printed);
    /// The requests that match, newest first. Throws TRequestRegisterError.
    std::vector<TRegisteredRequest> Find(const TRegisterSearch& search) const;
    /// Every person in the register, each once (by name, whatever the case and accents), with
    /// what their newest request said, in alphabetical order. Throws TRequestRegisterError.
    std::vector<TRegisteredPerson> People() const;

private:
    void Migrate();
    [[noreturn]] void Fail(const QString& what, const QSqlError& error) const;

    QString connection_;
    QString displayLocation_;
    bool postgres_ = false;
};

/// Records a request just printed, with the documents it produced, by the desktop user, now, in
/// the register at location, opened for this alone. Returns the failure (why the request was not
/// recorded), or nothing when it was: a register that cannot be used never stops the printing.
std::optional<TRequestRegisterError> RecordPrintedRequest(const QString& location,
                                                          const TDatosSolicitud& request,
                                                          const QStringList& documents);

/// Why a register could not be used, in the operator's words, from what the database said (its
/// own text and its driver's), in English or in Spanish.
QString RegisterFailureReason(const QString& databaseText, const QString& driverText,
                              bool postgres);

/// The login name of the user the program runs for.
QString DesktopUserName();

/// Text folded for searching: case folded, accents and other marks removed ("Núñez" and
/// "NUNEZ" fold alike, Greek included).
QString FoldedForSearch(const QString& text);

/// A register entry as JSON: the request file's own keys, and "printed" (ISO 8601, UTC),
/// "printedBy" and "documents".
QJsonObject RegisteredRequestToJson(const TRegisteredRequest& entry);

/// The register's entries as CSV for a spreadsheet: UTF-8, a header row of the JSON keys, fields
/// quoted where they must be, lines ended by CRLF.
QByteArray RegisteredRequestsToCsv(const std::vector<TRegisteredRequest>& entries);

} // namespace Kelmora
