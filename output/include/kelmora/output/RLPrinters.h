/// @file
/// The engine's single door to the printing service: the printer list, the selected printer and
/// its device settings (paper, orientation, copies), the printer's resolution and margins, and
/// print documents with their pages and canvas.
///
/// Qt's printing service keeps no per-printer device settings between jobs, so the wrapper keeps
/// them itself: selecting a printer loads that printer's defaults into them, SetPaperSize and
/// SetCopies change them, and every document and every metrics query is made with them.
#pragma once

#include <kelmora/report/RLPrinterMetrics.h>
#include <kelmora/support/RLCore.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>

class QPainter;
class QPrinter;

namespace Kelmora {

class TRLCanvas;

/// An error that is never shown to the operator and ends the caller's run all the same (a printer
/// driver that hands out no device settings, an application that is closing). Window layers
/// catch it before TRLException and say nothing.
class TRLAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

/// The printer's resolution and sheet in printer pixels. The printable area is what the four
/// margins leave of the sheet.
inline int32_t ClientWidthOf(const TRLPrinterMetrics& m) {
    return m.PhysicalWidth - m.MarginLeft - m.MarginRight;
}
inline int32_t ClientHeightOf(const TRLPrinterMetrics& m) {
    return m.PhysicalHeight - m.MarginTop - m.MarginBottom;
}
/// What the engine assumes when no printer answers: a Letter sheet at 300 pixels per inch with
/// quarter-inch unprintable margins (the type's own defaults).
inline constexpr TRLPrinterMetrics FallbackPrinterMetrics{};

/// Orientation codes of the device settings.
inline constexpr int DeviceOrientationPortrait = 1;
inline constexpr int DeviceOrientationLandscape = 2;
/// Paper code of a size given by length and width.
inline constexpr int CustomPaperCode = 256;

/// Which device settings a printer (or the last change) has set.
enum TRLDeviceField : uint32_t {
    dfOrientation = 0x0001,
    dfPaperSize = 0x0002,
    dfPaperLength = 0x0004,
    dfPaperWidth = 0x0008,
    dfCopies = 0x0100,
};

/// One printer's device settings: paper code (the service's standard numbers, 256 for a size of
/// its own), paper length and width in tenths of a millimetre (portrait sense, custom size only),
/// orientation code and copy count.
struct TRLDeviceSettings {
    uint32_t Fields = 0;
    int Orientation = DeviceOrientationPortrait;
    int PaperSize = 0;
    int PaperLength = 0;
    int PaperWidth = 0;
    int Copies = 1;
    bool operator==(const TRLDeviceSettings&) const = default;
};

class TRLPrinterWrapper : public QObject {
    Q_OBJECT
public:
    TRLPrinterWrapper();
    ~TRLPrinterWrapper() override;

    /// The printer list, one "name|port" entry per printer, read on first use.
    const QStringList& Printers();
    int PrinterCount() { return static_cast<int>(Printers().size()); }
    QString PrinterNames(int index);
    QString PrinterPorts(int index);

    /// The selected printer. Reading selects printer 0 when the service has no selection and
    /// the list is not empty; setting an index outside the list is ignored.
    int PrinterIndex();
    void SetPrinterIndex(int index);
    QString PrinterName();
    bool Valid() { return PrinterIndex() >= 0; }

    /// Re-reads the printer list and keeps the printer chosen before, wherever the new list has
    /// it; when it is gone, the old position as far as the new list reaches.
    void Refresh();

    /// Puts the paper (millimetres, portrait sense) and orientation into the selected printer's
    /// device settings. forceEmulation is accepted for the report's sake and changes nothing.
    /// Throws TRLException ("Printer not found", naming it) when the service no longer knows the
    /// selected printer.
    void SetPaperSize(bool landscape, double paperWidth, double paperHeight,
                      bool forceEmulation = false);
    double PaperWidth() const { return paperWidth_; }
    double PaperHeight() const { return paperHeight_; }

    /// The printer's resolution and margins under the present device settings; the fallback
    /// metrics when there is no printer or it does not answer. Never throws. The printing service
    /// is asked once per printer and settings: the answer is kept until the selected printer, its
    /// device settings or the printer list (Refresh) change.
    void LoadMetrics(TRLPrinterMetrics& metrics);
    /// How many times the printing service has been asked for metrics.
    TRLPrinterMetrics LoadMetrics() {
        TRLPrinterMetrics m;
        LoadMetrics(m);
        return m;
    }

    /// Starts a print document on the selected printer and returns its canvas, whose fonts are
    /// sized for the printer's vertical resolution. Throws TRLException ("Printer not found"
    /// without a printer, the service's own words when it refuses the document).
    TRLCanvas& BeginDoc(const QString& title = QString());
    void NewPage();
    /// Ends the document, hands it to the service and selects the printer again, which brings
    /// back its default device settings. Throws TRLException naming the printer and the service's
    /// own words when the service did not take the job (the queue rejects jobs, is gone, or the
    /// server cannot be reached). A stopped queue takes the job and holds it: no error.
    void EndDoc();
    /// The canvas of the open document; null when none is open.
    TRLCanvas* Canvas() const;
    bool Printing() const { return document_ != nullptr; }

    /// Copy count of the device settings, at least 1.
    int Copies() const;
    void SetCopies(int copies);

    const TRLDeviceSettings& DeviceSettings() const { return settings_; }

    bool SetupEnabled() const { return true; }
    /// A QPrinter for the selected printer, the list refreshed first, carrying the device
    /// settings: what the page set-up dialog shows. Null when no printer is selected or the
    /// service does not know it.
    std::unique_ptr<QPrinter> SetupPrinter();

signals:
    /// The device settings of the named printer changed.
    void DeviceSettingsChanged(const QString& printerName);

private:
    struct Document;
    void SelectPrinter(int index);
    /// A QPrinter for the selected printer carrying the device settings; null when the service
    /// does not know the printer.
    std::unique_ptr<QPrinter> MakePrinter() const;

    bool listLoaded_ = false;
    QStringList printers_;
    int platformIndex_ = -1;
    bool platformIndexLoaded_ = false;
    TRLDeviceSettings settings_;
    double paperWidth_ = 0;
    double paperHeight_ = 0;
    std::unique_ptr<Document> document_;
    /// The last answer of the service, for the printer and settings it was given for.
    struct MetricsAnswer {
        QString Printer;
        TRLDeviceSettings Settings;
        TRLPrinterMetrics Metrics;
    };
    std::optional<MetricsAnswer> metricsAnswer_;
};

/// The process-wide printer wrapper, created on first use.
TRLPrinterWrapper& RLPrinter();

/// "name|port" of the list entry joined back from its parts.
QString PrinterEntry(const QString& name, const QString& port);

/// The address of the print service (CUPS, as the toolkit's print plugin reaches it) when nothing
/// answers there; empty when it answers, or when the toolkit prints through something else.
QString UnreachablePrintService();

/// "The print service cannot be reached (SERVICE): NAME", the name left out when empty.
QString ServiceUnreachableFailure(const QString& service, const QString& printerName);

/// Why a printer cannot be found: "Printer not found (NAME)", or, when the print service itself
/// is down, that the service cannot be reached, naming it and the printer.
QString PrinterNotFoundFailure(const QString& printerName);

} // namespace Kelmora
