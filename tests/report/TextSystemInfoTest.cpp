// System info: masks, every kind of value while preparing, continuation texts, dates.
#include "ReportTestSupport.h"
#include <kelmora/support/RLMessages.h>

#include <map>

using namespace Kelmora;

using namespace reporttest;

TEST(TextSystemInfo, MaskTakesTheValuePartsInItsMarks) {
    struct Case {
        const char* mask;
        const char* value;
        const char* result;
    };
    const Case cases[] = {
        {"Fecha: #", "12/03/24", "Fecha: 12/03/24"},
        {"Página # de #", "3\t{LastPageNumber}", "Página 3 de {LastPageNumber}"},
        {"", "3\t{LastPageNumber}", "3{LastPageNumber}"},
        {"Hoja ", "3\t7", "Hoja 37"},
        {"# / #|Sigue;Fin|", "2\t9", "2 / 9"},
        {"##", "", "#"}, // an empty value still fills one mark
        {"#-#-#", "a\tb", "a-b-#"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MergeInfoMask(c.mask, c.value), c.result) << c.mask;
}

// The program's own date rules: an hour without zone, now as date and hour, no hour at midnight.
TEST(TextSystemInfo, DatesUseTheLocaleFormatsWithoutZoneAndNowDropsMidnight) {
    const QDateTime afternoon(QDate(2024, 3, 12), QTime(13, 5, 9));
    const QLocale spain(QLocale::Spanish, QLocale::Spain);
    const QString date = InfoDateText(itDate, afternoon, spain);
    EXPECT_EQ(std::tuple(date, InfoDateText(itHour, afternoon, spain)),
              std::tuple(spain.toString(QDate(2024, 3, 12), QLocale::ShortFormat), "13:05:09"));
    EXPECT_TRUE(InfoDateText(itFullDate, afternoon, spain).contains(QStringLiteral("marzo")));
    EXPECT_EQ(InfoDateText(itNow, afternoon, spain), date + QStringLiteral(" 13:05:09"));
    EXPECT_EQ(InfoDateText(itNow, QDateTime(QDate(2024, 3, 12), QTime(0, 0)), spain), date);
}

namespace {

TRLSystemInfo* AddInfo(TRLBand* band, TRLInfoType kind, const QString& mask, int left, int top) {
    auto* info = new TRLSystemInfo(band);
    info->SetBounds(left, top, info->Width(), info->Height());
    info->SetInfo(kind);
    info->SetText(mask);
    return info;
}

// A header band full of system-info controls, one per kind, each recording what it printed.
struct InfoReport : OneBandReport {
    std::map<TRLInfoType, TRLSystemInfo*> infos;
    std::map<TRLInfoType, QString> printed;

    InfoReport() : OneBandReport(400) {
        for (int i = 0; i < InfoTypeCount; ++i) {
            auto* info = AddInfo(band, static_cast<TRLInfoType>(i), QString(), 0, i * 20);
            QObject::connect(info, &TRLCustomSystemInfo::BeforePrint,
                             [this, i](TRLCustomControl&, QString& text, bool&) {
                                 printed[static_cast<TRLInfoType>(i)] = text;
                             });
            infos[static_cast<TRLInfoType>(i)] = info;
        }
    }
};

} // namespace

TEST(TextSystemInfo, EveryKindPrintsItsValueWhilePreparingAndNamesItOutside) {
    InfoReport doc;
    doc.report.SetTitle(QStringLiteral("Solicitud"));
    doc.report.SetFirstPageNumber(10);
    doc.Prepare();
    const QDateTime date = doc.report.ReportDate();
    QStringList printed;
    for (const auto& [kind, text] : doc.printed)
        printed << InfoTypeNames()[kind] + '=' + text;
    // A report without records prints its only page while finishing: the junction says "End".
    // No detail yet: the continued-from text clears itself.
    EXPECT_EQ(printed,
              (QStringList{"itCarbonCopy=1", "itDate=" + InfoDateText(itDate, date),
                           "itDetailCount=0", "itFullDate=" + InfoDateText(itFullDate, date),
                           "itHour=" + InfoDateText(itHour, date),
                           "itJunction=" + RLMessages[mkEnd], "itLastPageNumber={LastPageNumber}",
                           "itMend=", "itNow=" + InfoDateText(itNow, date), "itPageNumber=10",
                           "itPagePreview=10{LastPageNumber}", "itTitle=Solicitud", "itRecNo=1",
                           "itCopyNo=1"}));

    // At design time captions name their values, by mask or by a layout's friendly name.
    EXPECT_EQ(doc.infos[itTitle]->Caption(), QStringLiteral("(Title)"));
    TRLSystemInfo& preview = *doc.infos[itPagePreview];
    preview.SetText(QStringLiteral("Página # de #"));
    EXPECT_EQ(preview.Caption(), QStringLiteral("Página (PageNumber) de (LastPageNumber)"));
    preview.SetText(QString());
    preview.BeginLoad();
    preview.SetFriendlyName(QStringLiteral("Ultima"));
    preview.EndLoad();
    EXPECT_EQ(preview.Caption(), QStringLiteral("Ultima"));

    // The clearing mask prints nothing, whatever the kind.
    for (const auto& [kind, info] : doc.infos)
        info->SetText(QStringLiteral("^CLEAR"));
    doc.Prepare();
    for (const auto& [kind, text] : doc.printed)
        EXPECT_EQ(text, QString()) << InfoTypeNames()[kind].toStdString();
}

TEST(TextSystemInfo, PagesNumberFromFirstPageNumberAndContinuationTextsFollowTheRun) {
    OneBandReport doc(40);
    doc.report.SetFirstPageNumber(10);
    AddInfo(doc.band, itPagePreview, "Hoja # de #", 0, 0);
    AddInfo(doc.band, itMend, "|viene de la hoja anterior|", 300, 20);
    AddInfo(AddBand(&doc.report, "Footer", btFooter, 78, 20), itJunction, "|Sigue;Fin|", 0, 0);
    AddInfo(AddBand(&doc.report, "Detail", btDetail, 98, 600), itRecNo, "Registro #", 0, 0);

    QStandardItemModel records(3, 1);
    doc.report.SetDataSource(&records);
    const int pages = PreparedPages(doc.report);
    ASSERT_GE(pages, 2);
    for (int p = 0; p < pages; ++p) {
        SCOPED_TRACE(p);
        const auto page = doc.report.Storage().Pages(p);
        QStringList texts;
        for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*page))
            texts << page->ExpandMacros(t->Text);
        EXPECT_TRUE(texts.contains(QStringLiteral("Hoja %1 de %2").arg(10 + p).arg(9 + pages)));
        EXPECT_EQ(texts.contains(QStringLiteral("viene de la hoja anterior")), p > 0);
        EXPECT_TRUE(
            texts.contains(p + 1 < pages ? QStringLiteral("Sigue") : QStringLiteral("Fin")));
        EXPECT_EQ(texts.contains(QStringLiteral("Registro 1")), p == 0);
    }
}
