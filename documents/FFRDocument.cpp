#include "FFRDocument.h"

#include "RLBarcode.h"
#include "RLControlClasses.h"
#include "RLLayoutReader.h"
#include "RLReport.h"
#include "RLReportClasses.h"
#include "RLTextControls.h"

#include <QFile>
#include <QRegularExpression>

#include <mutex>

// Outside any namespace: Q_INIT_RESOURCE names a global function.
static void InitDocumentsQrc() {
    Q_INIT_RESOURCE(documents);
}

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

TFFRDocument::TFFRDocument(const QString& document) : document_(document) {
    RegisterDocumentClasses();
    const QString path = LayoutResource(document);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TRLException(QStringLiteral("%1: the layout is not in the program").arg(path));
    report_ = ReadReportLayoutFromJson(file.readAll(), document + QStringLiteral(".json"),
                                       QStringLiteral(":/documents"));
}

TFFRDocument::~TFFRDocument() = default;

TRLCustomControl* TFFRDocument::FindControl(const QString& name) const {
    return report_->FindControl(name);
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

TRLLabel* TFFRDocument::BindLabel(const char* name) {
    return Bind<TRLLabel>(*report_, document_, name);
}

TRLMemo* TFFRDocument::BindMemo(const char* name) {
    return Bind<TRLMemo>(*report_, document_, name);
}

void SetLabelText(TRLLabel& label, const QString& text) {
    label.SetCaption(text);
}

void SetMemoText(TRLMemo& memo, const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    memo.SetLines(text.isEmpty() ? QStringList() : text.split(lineBreak));
}
