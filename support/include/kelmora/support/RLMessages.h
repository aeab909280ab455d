/// @file
/// The engine's operator-visible words, in the four languages it ships with.
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

class QLocale;

namespace Kelmora {

/// One key per engine text; the order is the order of the built-in tables.
enum TRLMessageKey : uint8_t {
    mkPrintingInProgress,
    mkSavingReport,
    mkPreparingReport,
    mkPrinterNotFound,
    mkPrinterDriverError,
    mkPage,
    mkErrorPreparing,
    mkContinues,
    mkContinuation,
    mkEnd,
    mkFileName,
    mkNotFound,
    mkWait,
    mkCancel,
    mkClose,
    mkSave,
    mkSend,
    mkPrint,
    mkPreview,
    mkOf,
    mkFirstPage,
    mkPriorPage,
    mkNextPage,
    mkLastPage,
    mkEntirePage,
    mkEntireWidth,
    mkMultiplePages,
    mkConfigurePrinter,
    mkSaveToFile,
    mkSendTo,
    mkPrinter,
    mkName,
    mkPrintToFile,
    mkPrintInBackground,
    mkSaveInBackground,
    mkPageRange,
    mkFrom,
    mkTo,
    mkAll,
    mkPages,
    mkSelection,
    mkCopies,
    mkNumberOfCopies,
    mkOk,
    mkDivideScreen,
    mkInvalidName,
    mkNameInUse,
    mkUseFilter,
    mkAt,
    mkDefault,
    mkCopy,
    mkEdit,
    mkFind,
    mkText,
    mkFindNext,
    mkWholeWords,
    mkMatchCase,
    mkUp,
    mkDown,
    mkDirection,
    /// Added for the print command: a page range that holds no page prints nothing.
    mkNoPageInRange,
    /// Added for the names that assistive technology reads out for the preview's zoom controls,
    /// which show no words of their own.
    mkZoomOut,
    mkZoomIn,
    mkZoom,
    /// Added for sending a document by e-mail: what to do when the mail program did not open.
    mkMailNotOpened,
    /// Added for an output started again while its earlier run is still going in the background.
    mkOutputStillRunning,
    /// Added for a printer that cannot be found because the print service itself is down.
    mkPrintServiceUnreachable,
    /// Added for the names that assistive technology reads out for the parts of the preview
    /// window that show no words of their own, and for the print dialog's options box before a
    /// filter names it.
    mkToolBar,
    mkViews,
    mkViewDivider,
    mkVerticalScrollBar,
    mkHorizontalScrollBar,
    mkOptions,
    mkNoPage,
};

inline constexpr std::size_t RLMessageKeyCount = static_cast<std::size_t>(mkNoPage) + 1;

enum TRLLanguage : uint8_t { lgEnglish, lgSpanish, lgFrench, lgPortuguese };

/// Every text the engine shows, in one language. Captions keep their "&" access-key marks.
class TRLMessageTable {
public:
    /// A table that nobody has filled yet speaks English, so that engine code running before
    /// start-up (tools, tests) never shows an empty caption.
    TRLMessageTable();

    const QString& Text(TRLMessageKey key) const { return texts_[static_cast<std::size_t>(key)]; }
    const QString& operator[](TRLMessageKey key) const { return Text(key); }

    TRLLanguage Language() const { return language_; }
    void Fill(TRLLanguage language);

private:
    std::array<QString, RLMessageKeyCount> texts_;
    TRLLanguage language_ = lgEnglish;
};

/// The one table that the engine reads. It is written only by the language selection at start.
extern TRLMessageTable RLMessages;

/// The table chosen for a locale: Spanish, French and Portuguese locales get their own language,
/// every other locale (and the "C" locale) gets English.
TRLLanguage LanguageOfLocale(const QLocale& locale);

/// Fills RLMessages with the given language.
void LoadMessages(TRLLanguage language);

/// Fills RLMessages in the language of the user's locale; run once during start-up.
void SelectMessagesLanguage();

} // namespace Kelmora
