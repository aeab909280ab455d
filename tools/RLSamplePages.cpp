#include "RLSamplePages.h"

#include <kelmora/pagestore/RLGraphicStorage.h>

#include <QImage>
#include <QPainter>

namespace Kelmora {

namespace {

QImage SamplePicture() {
    // A small crest-like emblem drawn once; every page records it again as its own bitmap.
    static const QImage picture = [] {
        QImage image(48, 64, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0x1F, 0x3A, 0x68), 2));
        painter.setBrush(QColor(0xD8, 0xE2, 0xF0));
        painter.drawRoundedRect(QRectF(3, 3, 42, 50), 6, 6);
        painter.setBrush(QColor(0x1F, 0x3A, 0x68));
        painter.drawEllipse(QRectF(14, 14, 20, 20));
        painter.drawRect(QRectF(10, 56, 28, 5));
        return image;
    }();
    return picture;
}

} // namespace

std::shared_ptr<TRLGraphicSurface> MakeSamplePage(int pageNumber, bool withPicture) {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(794);
    page->SetHeight(1123);
    page->SetOrientation(MetaOrientationPortrait);
    page->SetPaperWidth(210);
    page->SetPaperHeight(297);
    page->SetMargins({38, 38, 756, 1085});
    page->Open();

    if (withPicture) {
        TRLGraphicStorage::NewGroupId();
        page->Draw(48, 40, SamplePicture());
    }

    TRLFont title;
    title.Size = 14;
    title.Style = fsBold;
    page->SetFont(title);
    TRLBrush clear{Qt::white, TRLBrushStyle::Clear};
    page->SetBrush(clear);
    TRLGraphicStorage::NewGroupId();
    page->TextRectEx({110, 44, 756, 70}, 110, 44, QStringLiteral("Informe de muestra — Año 2026"),
                     MetaTextAlignmentLeft, MetaTextLayoutTop, MetaTextFlagKeepWhole);

    TRLFont body;
    body.Size = 9;
    page->SetFont(body);
    TRLPen pen;
    pen.Color = QColor(0x80, 0x80, 0x80);
    page->SetPen(pen);
    for (int row = 0; row < 34; ++row) {
        const int y = 120 + row * 26;
        TRLGraphicStorage::NewGroupId();
        const QString cells[] = {
            QString::number(pageNumber * 100 + row), QStringLiteral("Artículo %1").arg(row + 1),
            QStringLiteral("Descripción del renglón %1").arg(row + 1),
            QStringLiteral("%1,%2").arg(row * 37 % 1000).arg(row % 100, 2, 10, QLatin1Char('0'))};
        const int columns[] = {48, 120, 260, 620, 740};
        for (int c = 0; c < 4; ++c)
            page->TextRectEx({columns[c], y, columns[c + 1] - 8, y + 16}, columns[c], y, cells[c],
                             c == 3 ? MetaTextAlignmentRight : MetaTextAlignmentLeft,
                             MetaTextLayoutTop, MetaTextFlagKeepWhole);
        page->MoveTo(48, y + 20);
        page->LineTo(740, y + 20);
    }

    TRLGraphicStorage::NewGroupId();
    page->SetBrush({QColor(0xEE, 0xEE, 0xEE), TRLBrushStyle::Solid});
    page->Rectangle(48, 1020, 740, 1060);
    page->Polygon({{700, 1030}, {730, 1030}, {715, 1052}});
    page->SetBrush(clear);
    page->TextRectEx({48, 1070, 740, 1086}, 48, 1070,
                     QStringLiteral("Página %1 de {LastPageNumber}").arg(pageNumber),
                     MetaTextAlignmentCenter, MetaTextLayoutTop, MetaTextFlagKeepWhole);
    page->Close();
    return page;
}

void FillSampleStorage(TRLGraphicStorage& storage, int pageCount) {
    for (int i = 1; i <= pageCount; ++i)
        storage.Add(MakeSamplePage(i));
    storage.SetFirstPageNumber(1);
    storage.SetLastPageNumber(pageCount);
    storage.SetTitle(QStringLiteral("Informe de muestra"));
    storage.SetOrientation(MetaOrientationPortrait);
    storage.SetPaperWidth(210);
    storage.SetPaperHeight(297);
}

} // namespace Kelmora
