// Feeds arbitrary bytes, as a page-store file, to the PDF writer: every page the reader accepts is
// painted as the PDF filter paints it (on this thread, so that a run is repeatable) and added to
// one document. Font sizes, pen widths, paper, picture bounds and coordinates at the limits of
// what the file can hold must each give a page or a refusal of that page, never a crash; and the
// document must end whole.
// fuzz-libs: rlpdf
#include "RLPdfWriter.h"
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/support/RLUtils.h>

#include <QBuffer>
#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>

using namespace Kelmora;

namespace {

// Enough pages to mix fonts and pictures between them; a file of thousands adds nothing more.
constexpr int kPagesWritten = 32;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    InitEngineSupport();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QBuffer input;
    input.setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    input.open(QIODevice::ReadOnly);
    TRLGraphicStorage storage;
    try {
        storage.LoadFromStream(input);
    } catch (const TRLException&) {
        return 0;
    }
    QByteArray pdf;
    QBuffer output(&pdf);
    output.open(QIODevice::WriteOnly);
    {
        TRLPdfWriter writer(output, 96);
        writer.SetTitle(storage.Title());
        int added = 0;
        for (int i = 0; i < storage.PageCount() && i < kPagesWritten; ++i) {
            const auto page = storage.Pages(i);
            if (!page)
                continue;
            try {
                const auto pdfPage = TRLPDFFilter::PaintPage(writer, *page, i + 1);
                if (!pdfPage->AddTo(writer))
                    std::abort(); // a buffer in memory takes every byte
                ++added;
            } catch (const TRLException& refusal) {
                // A refusal names its page, on one line.
                const QString message = refusal.Message();
                if (!message.startsWith(QStringLiteral("page %1: ").arg(i + 1)) ||
                    message.contains(u'\n'))
                    std::abort();
            }
        }
        if (!writer.Finish() || writer.PageCount() != added)
            std::abort();
    }
    if (!pdf.startsWith("%PDF-1.") || !pdf.endsWith("%%EOF\n"))
        std::abort();
    return 0;
}
