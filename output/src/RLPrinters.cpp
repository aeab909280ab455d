#include <kelmora/output/RLPrinters.h>

#include <kelmora/pagestore/RLCanvas.h>
#include <kelmora/report/RLPaperInfo.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cerrno>

#include <dlfcn.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace Kelmora {

struct TRLPrinterWrapper::Document {
    std::unique_ptr<QPrinter> Printer;
    QPainter Painter;
    std::unique_ptr<TRLCanvas> Canvas;
};

namespace {

QString NamedFailure(TRLMessageKey key, const QString& printerName) {
    if (printerName.isEmpty())
        return RLMessages[key];
    return QStringLiteral("%1 (%2)").arg(RLMessages[key], printerName);
}

// What CUPS answered to the last request made from this thread, as Qt's print plugin left it.
// The plugin hands a finished document to CUPS and drops CUPS's answer, so a queue that refuses
// the job (rejecting jobs, removed, the server gone) would look like a printed document; CUPS
// keeps that answer per thread, and the wrapper reads it right after the document ends. CUPS is
// reached through the copy of the library the plugin already loaded, so the engine neither needs
// CUPS to build nor loads it where the toolkit prints through something else.
struct TCupsAnswer {
    int Status = 0;
    QString Text;
};

// The CUPS library as Qt's print plugin loaded it; null where the toolkit prints otherwise.
void* LoadedCups() {
    return dlopen("libcups.so.2", RTLD_LAZY | RTLD_NOLOAD);
}

std::optional<TCupsAnswer> LastCupsAnswer() {
    using StatusFunction = int (*)();
    using TextFunction = const char* (*)();
    struct Functions {
        StatusFunction Status = nullptr;
        TextFunction Text = nullptr;
    };
    static const Functions functions = [] {
        Functions f;
        if (void* cups = LoadedCups()) {
            f.Status = reinterpret_cast<StatusFunction>(dlsym(cups, "cupsLastError"));
            f.Text = reinterpret_cast<TextFunction>(dlsym(cups, "cupsLastErrorString"));
        }
        return f;
    }();
    if (!functions.Status)
        return std::nullopt;
    TCupsAnswer answer;
    answer.Status = functions.Status();
    if (functions.Text)
        answer.Text = QString::fromLocal8Bit(functions.Text());
    return answer;
}

// IPP status codes up to 0x00FF are successes; 0x0406 is "not found".
constexpr int LastIppSuccess = 0x00FF;
constexpr int IppNotFound = 0x0406;

// The service's default device settings of one printer: its default paper, portrait, one copy.
TRLDeviceSettings DefaultSettingsOf(const QString& printerName) {
    TRLDeviceSettings settings;
    settings.Fields = dfOrientation | dfPaperSize | dfCopies;
    QPageSize paper = QPrinterInfo::printerInfo(printerName).defaultPageSize();
    if (!paper.isValid()) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(printerName);
        paper = printer.pageLayout().pageSize();
    }
    settings.PaperSize = paper.isValid() ? paper.windowsId() : 0;
    if (paper.isValid() && (settings.PaperSize == 0 || settings.PaperSize == CustomPaperCode)) {
        const QSizeF mm = paper.size(QPageSize::Millimeter);
        settings.PaperSize = CustomPaperCode;
        settings.PaperWidth = RoundHalfEven(mm.width() * 10);
        settings.PaperLength = RoundHalfEven(mm.height() * 10);
        settings.Fields |= dfPaperLength | dfPaperWidth;
    }
    return settings;
}

QPageSize PageSizeOf(const TRLDeviceSettings& settings) {
    if (settings.PaperSize != CustomPaperCode && settings.PaperSize > 0) {
        const QPageSize::PageSizeId id = QPageSize::id(settings.PaperSize);
        if (id != QPageSize::Custom)
            return QPageSize(id);
    }
    if (settings.PaperLength > 0 && settings.PaperWidth > 0)
        return QPageSize(QSizeF(settings.PaperWidth / 10.0, settings.PaperLength / 10.0),
                         QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    return QPageSize();
}

} // namespace

QString PrinterEntry(const QString& name, const QString& port) {
    return name + QLatin1Char('|') + port;
}

TRLPrinterWrapper::TRLPrinterWrapper() = default;

TRLPrinterWrapper::~TRLPrinterWrapper() {
    if (document_)
        document_->Painter.end();
}

const QStringList& TRLPrinterWrapper::Printers() {
    if (!listLoaded_) {
        printers_.clear();
        // Qt's printing service gives no port for a queue; its location is the nearest thing
        // the operator can tell printers apart by.
        for (const QPrinterInfo& info : QPrinterInfo::availablePrinters())
            printers_.append(PrinterEntry(info.printerName(), info.location()));
        listLoaded_ = true;
    }
    return printers_;
}

QString TRLPrinterWrapper::PrinterNames(int index) {
    const QStringList& list = Printers();
    if (index < 0 || index >= list.size())
        return QString();
    return FieldOf(list[index], 1, QLatin1Char('|'));
}

QString TRLPrinterWrapper::PrinterPorts(int index) {
    const QStringList& list = Printers();
    if (index < 0 || index >= list.size())
        return QString();
    return FieldOf(list[index], 2, QLatin1Char('|'));
}

int TRLPrinterWrapper::PrinterIndex() {
    const QStringList& list = Printers();
    if (!platformIndexLoaded_) {
        // The service's own choice at start is its default printer, when it has one.
        platformIndexLoaded_ = true;
        const QString defaultName = QPrinterInfo::defaultPrinterName();
        for (int i = 0; i < list.size() && !defaultName.isEmpty(); ++i)
            if (FieldOf(list[i], 1, QLatin1Char('|')) == defaultName) {
                SelectPrinter(i);
                break;
            }
    }
    if (platformIndex_ >= list.size())
        platformIndex_ = -1;
    if (platformIndex_ < 0 && !list.isEmpty())
        SelectPrinter(0);
    return platformIndex_;
}

void TRLPrinterWrapper::SetPrinterIndex(int index) {
    if (index >= 0 && index < PrinterCount())
        SelectPrinter(index);
}

QString TRLPrinterWrapper::PrinterName() {
    const int index = PrinterIndex();
    return index >= 0 ? PrinterNames(index) : QString();
}

void TRLPrinterWrapper::SelectPrinter(int index) {
    // Selecting hands the printer to the service again without device settings, so that it
    // answers with the printer's defaults.
    platformIndexLoaded_ = true;
    platformIndex_ = index;
    settings_ = DefaultSettingsOf(PrinterNames(index));
}

void TRLPrinterWrapper::Refresh() {
    metricsAnswer_.reset();
    const int previous = platformIndexLoaded_ ? platformIndex_ : -1;
    const QString previousName = previous >= 0 ? PrinterNames(previous) : QString();
    listLoaded_ = false;
    platformIndexLoaded_ = false;
    platformIndex_ = -1;
    // Selecting the default happens on the first read. Then the printer chosen before, wherever
    // the new list has it: a queue added or removed elsewhere moves the positions, and keeping
    // the old position would send the next job to another printer than the one chosen. Only
    // when that printer is gone, the old position, as far as the new list reaches.
    PrinterIndex();
    const int last = PrinterCount() - 1;
    if (last < 0 || previous < 0)
        return;
    for (int i = 0; i <= last; ++i)
        if (PrinterNames(i) == previousName) {
            SelectPrinter(i);
            return;
        }
    SelectPrinter(std::min(previous, last));
}

void TRLPrinterWrapper::SetPaperSize(bool landscape, double paperWidth, double paperHeight,
                                     bool /*forceEmulation*/) {
    const TRLPaperSize found = FindPaperSize(paperWidth, paperHeight);
    int code = CustomPaperCode;
    if (found != fpCustom) {
        code = PaperInfo[found].PrinterPaperCode;
        paperWidth = PaperInfo[found].Width;
        paperHeight = PaperInfo[found].Height;
    }
    const int orientation = landscape ? DeviceOrientationLandscape : DeviceOrientationPortrait;

    if (Valid()) {
        // The service must still know the printer; one more selection may bring it back (a
        // queue that was re-created). A printer that is gone is the operator's to hear of: a
        // quiet end would look like a print whose pages never come.
        const QString name = PrinterName();
        if (QPrinterInfo::printerInfo(name).isNull()) {
            SelectPrinter(platformIndex_);
            if (QPrinterInfo::printerInfo(name).isNull())
                throw TRLException(PrinterNotFoundFailure(name));
        }
        settings_.PaperSize = code;
        settings_.Fields |= dfPaperSize;
        if (code == CustomPaperCode) {
            if (paperHeight > 0) {
                settings_.PaperLength = RoundHalfEven(paperHeight * 10);
                settings_.Fields |= dfPaperLength;
            }
            if (paperWidth > 0) {
                settings_.PaperWidth = RoundHalfEven(paperWidth * 10);
                settings_.Fields |= dfPaperWidth;
            }
        }
        // Every job carries the orientation, whether or not the printer listed it as a setting
        // of its own.
        settings_.Orientation = orientation;
        emit DeviceSettingsChanged(name);
    }
    paperWidth_ = paperWidth;
    paperHeight_ = paperHeight;
}

std::unique_ptr<QPrinter> TRLPrinterWrapper::SetupPrinter() {
    Refresh();
    return Valid() ? MakePrinter() : nullptr;
}

std::unique_ptr<QPrinter> TRLPrinterWrapper::MakePrinter() const {
    const QString name =
        platformIndex_ >= 0 ? FieldOf(printers_.value(platformIndex_), 1, '|') : QString();
    if (name.isEmpty() || QPrinterInfo::printerInfo(name).isNull())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPrinterName(name);
    if (printer->printerName() != name || printer->outputFormat() != QPrinter::NativeFormat ||
        !printer->isValid())
        return nullptr;
    const QPageSize paper = PageSizeOf(settings_);
    if (paper.isValid())
        printer->setPageSize(paper);
    printer->setPageOrientation(settings_.Orientation == DeviceOrientationLandscape
                                    ? QPageLayout::Landscape
                                    : QPageLayout::Portrait);
    printer->setCopyCount(std::max(1, settings_.Copies));
    printer->setFullPage(false);
    return printer;
}

void TRLPrinterWrapper::LoadMetrics(TRLPrinterMetrics& metrics) {
    metrics = FallbackPrinterMetrics;
    if (!Valid())
        return;
    // Every report asks before it prepares; each question opens connections to the service.
    const QString name = PrinterName();
    if (metricsAnswer_ && metricsAnswer_->Printer == name &&
        metricsAnswer_->Settings == settings_) {
        metrics = metricsAnswer_->Metrics;
        return;
    }
    metricsAnswer_.reset();
    std::unique_ptr<QPrinter> printer = MakePrinter();
    if (!printer) {
        SelectPrinter(platformIndex_);
        printer = MakePrinter();
    }
    if (!printer || printer->resolution() <= 0)
        return;
    const QRect paper = printer->paperRect(QPrinter::DevicePixel).toAlignedRect();
    const QRect page = printer->pageRect(QPrinter::DevicePixel).toAlignedRect();
    if (paper.isEmpty() || page.isEmpty())
        return;
    TRLPrinterMetrics m;
    m.PPIX = printer->resolution();
    m.PPIY = printer->resolution();
    m.PhysicalWidth = paper.width();
    m.PhysicalHeight = paper.height();
    m.MarginLeft = page.left() - paper.left();
    m.MarginTop = page.top() - paper.top();
    m.MarginRight = m.PhysicalWidth - (m.MarginLeft + page.width());
    m.MarginBottom = m.PhysicalHeight - (m.MarginTop + page.height());
    metrics = m;
    // Only a real answer is kept: a printer that did not answer is asked again next time.
    metricsAnswer_ = MetricsAnswer{name, settings_, m};
}

TRLCanvas& TRLPrinterWrapper::BeginDoc(const QString& title) {
    if (document_)
        throw TRLException(NamedFailure(mkPrinterDriverError, PrinterName()));
    if (!Valid())
        throw TRLException(PrinterNotFoundFailure(QString()));
    std::unique_ptr<QPrinter> printer = MakePrinter();
    if (!printer) {
        SelectPrinter(platformIndex_);
        printer = MakePrinter();
    }
    if (!printer)
        throw TRLException(PrinterNotFoundFailure(PrinterName()));
    printer->setDocName(title.isEmpty() ? QStringLiteral("Kelmora") : title);
    printer->setCreator(QStringLiteral("Kelmora"));

    auto document = std::make_unique<Document>();
    document->Printer = std::move(printer);
    if (!document->Painter.begin(document->Printer.get()))
        throw TRLException(NamedFailure(mkPrinterDriverError, PrinterName()));
    document->Canvas =
        std::make_unique<TRLCanvas>(document->Painter, document->Printer->resolution());
    document_ = std::move(document);
    return *document_->Canvas;
}

void TRLPrinterWrapper::NewPage() {
    if (!document_)
        return;
    if (!document_->Printer->newPage())
        throw TRLException(NamedFailure(mkPrinterDriverError, PrinterName()));
}

void TRLPrinterWrapper::EndDoc() {
    if (!document_)
        return;
    const int index = PrinterIndex();
    std::unique_ptr<Document> document = std::move(document_);
    const bool ended = document->Painter.end();
    // Ending the painter handed the document to CUPS in this thread; its answer is read before
    // anything else asks CUPS again.
    const std::optional<TCupsAnswer> answer = LastCupsAnswer();
    const bool failed = !ended || document->Printer->printerState() == QPrinter::Error;
    const QString name = PrinterName();
    document.reset();
    SelectPrinter(index);
    if (failed)
        throw TRLException(NamedFailure(mkPrinterDriverError, name));
    // A stopped queue accepts the job and holds it: that is a success, the job waits there.
    if (answer && (answer->Status < 0 || answer->Status > LastIppSuccess)) {
        // CUPS's words for a queue that vanished under the job are not always "not found".
        const bool gone = answer->Status == IppNotFound || QPrinterInfo::printerInfo(name).isNull();
        const TRLMessageKey key = gone ? mkPrinterNotFound : mkPrinterDriverError;
        QString message = NamedFailure(key, name);
        if (!answer->Text.isEmpty())
            message += QStringLiteral(": ") + answer->Text;
        throw TRLException(message);
    }
}

TRLCanvas* TRLPrinterWrapper::Canvas() const {
    return document_ ? document_->Canvas.get() : nullptr;
}

int TRLPrinterWrapper::Copies() const {
    return std::max(1, settings_.Copies);
}

void TRLPrinterWrapper::SetCopies(int copies) {
    settings_.Copies = copies;
    settings_.Fields |= dfCopies;
}

TRLPrinterWrapper& RLPrinter() {
    static TRLPrinterWrapper instance;
    return instance;
}

namespace {

// Whether a connection to the socket is taken within two seconds.
bool Connects(int fd, const sockaddr* address, socklen_t length) {
    if (connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    return poll(&wait, 1, 2000) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
           error == 0;
}

bool Answers(const QByteArray& host, int port) {
    if (host.startsWith('/')) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (static_cast<size_t>(host.size()) >= sizeof address.sun_path)
            return false;
        std::copy(host.begin(), host.end(), address.sun_path);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const bool answered =
            fd >= 0 && Connects(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        if (fd >= 0)
            close(fd);
        return answered;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.constData(), QByteArray::number(port).constData(), &hints, &found) != 0)
        return false;
    bool answered = false;
    for (addrinfo* a = found; a && !answered; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        answered = Connects(fd, a->ai_addr, a->ai_addrlen);
        close(fd);
    }
    freeaddrinfo(found);
    return answered;
}

} // namespace

QString UnreachablePrintService() {
    using ServerFunction = const char* (*)();
    using PortFunction = int (*)();
    void* cups = LoadedCups();
    const auto server =
        cups ? reinterpret_cast<ServerFunction>(dlsym(cups, "cupsServer")) : nullptr;
    const auto port = cups ? reinterpret_cast<PortFunction>(dlsym(cups, "ippPort")) : nullptr;
    if (!server || !port)
        return {};
    const QByteArray host = server();
    if (Answers(host, port()))
        return {};
    const QString name = QString::fromLocal8Bit(host);
    return host.startsWith('/') ? name : QStringLiteral("%1:%2").arg(name).arg(port());
}

QString ServiceUnreachableFailure(const QString& service, const QString& printerName) {
    const QString failure =
        QStringLiteral("%1 (%2)").arg(RLMessages[mkPrintServiceUnreachable], service);
    return printerName.isEmpty() ? failure : QStringLiteral("%1: %2").arg(failure, printerName);
}

QString PrinterNotFoundFailure(const QString& printerName) {
    const QString service = UnreachablePrintService();
    return service.isEmpty() ? NamedFailure(mkPrinterNotFound, printerName)
                             : ServiceUnreachableFailure(service, printerName);
}

} // namespace Kelmora
