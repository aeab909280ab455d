#include <kelmora/documents/FFRDocument.h>

#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportClasses.h>
#include <kelmora/report/RLTextControls.h>

#include <QFile>
#include <QRegularExpression>

#include <mutex>

// Outside any namespace: Q_INIT_RESOURCE names a global function.
static void InitDocumentsQrc() {
    Q_INIT_RESOURCE(documents);
}

namespace Kelmora {

void RegisterDocumentClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A static library's resources are linked in only when something names them.
        InitDocumentsQrc();
        RegisterReportClasses();
        RegisterTextAndGraphicClasses();
        RegisterBarcodeClasses();
    });
}

QString TFFRDocument::LayoutResource(const QString& document) {
    return QStringLiteral(":/documents/") + document + QStringLiteral(".json");
}

template <class T> static T* Bind(TRLReport& report, const QString& document, const char* name) {
    TRLCustomControl* control = report.FindControl(QString::fromLatin1(name));
    auto* typed = dynamic_cast<T*>(control);
    if (typed == nullptr)
        throw TRLException(QStringLiteral("%1.json: %2 is missing or not a %3")
                               .arg(document, QString::fromLatin1(name),
                                    std::is_same_v<T, TRLMemo> ? QStringLiteral("TRLMemo")
                                                               : QStringLiteral("TRLLabel")));
    return typed;
}

std::span<const TDocumentLabel> DocumentLabels() {
    using F = TDocumentField;
    constexpr uint8_t all = dsSolicitud | dsDeclaracionJurada | dsVehiculoParticular;
    constexpr uint8_t both = dsSolicitud | dsDeclaracionJurada;
    static constexpr TDocumentLabel labels[] = {
        {"aux_persona", F::Persona, false, all},
        {"aux_dni", F::Dni, false, all},
        {"aux_categ", F::Categoria, false, both},
        {"aux_dedica", F::Dedicacion, false, both},
        {"aux_motivo", F::Motivo, true, all},
        {"aux_destino", F::Destino, false, all},
        {"aux_medio", F::Medio, false, both},
        {"aux_patente", F::Patente, false, dsVehiculoParticular},
        {"aux_salida", F::Salida, false, all},
        {"aux_horasalida", F::HoraSalida, false, all},
        {"aux_llegada", F::Llegada, false, all},
        {"aux_horallegada", F::HoraLlegada, false, all},
        {"aux_1", F::Pasajes, false, dsSolicitud},
        {"aux_2", F::Kelmora, false, dsSolicitud},
        {"aux_4", F::Inscripcion, false, dsSolicitud},
        {"aux_solicita", F::Solicita, false, dsDeclaracionJurada},
    };
    return labels;
}

TFFRDocument::TFFRDocument(const QString& document, TDocumentSet which) : document_(document) {
    RegisterDocumentClasses();
    const QString path = LayoutResource(document);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TRLException(QStringLiteral("%1: the layout is not in the program").arg(path));
    report_ = ReadReportLayoutFromJson(file.readAll(), document + QStringLiteral(".json"),
                                       QStringLiteral(":/documents"));
    for (const TDocumentLabel& label : DocumentLabels()) {
        if (!(label.Documents & which))
            continue;
        labels_.push_back(label);
        controls_.push_back(label.Memo ? static_cast<TRLCustomControl*>(
                                             Bind<TRLMemo>(*report_, document_, label.Name))
                                       : Bind<TRLLabel>(*report_, document_, label.Name));
    }
}

TFFRDocument::~TFFRDocument() = default;

TRLCustomControl* TFFRDocument::FindControl(const QString& name) const {
    return report_->FindControl(name);
}

void TFFRDocument::FillLabels(const std::function<QString(TDocumentField)>& textOf) {
    for (size_t i = 0; i < labels_.size(); ++i) {
        const QString text = textOf(labels_[i].Field);
        if (labels_[i].Memo)
            SetMemoText(static_cast<TRLMemo&>(*controls_[i]), text);
        else
            SetLabelText(static_cast<TRLLabel&>(*controls_[i]), text);
    }
}

void SetLabelText(TRLLabel& label, const QString& text) {
    label.SetCaption(text);
}

void SetMemoText(TRLMemo& memo, const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    memo.SetLines(text.isEmpty() ? QStringList() : text.split(lineBreak));
}

} // namespace Kelmora
