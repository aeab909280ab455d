// System info: masks, every kind of value while preparing, continuation texts, dates.
#include "RLMessages.h"
#include "ReportTestSupport.h"

#include <map>

using namespace reporttest;

TEST(TextSystemInfo, MaskTakesTheValuePartsInItsMarks) {
    struct Case {
        const char* mask;
        const char* value;
        const char* result;
    };
    const Case cases[] = {
        {"", "12/03/24", "12/03/24"},
        {"Fecha: #", "12/03/24", "Fecha: 12/03/24"},
        {"Página # de #", "3\t{LastPageNumber}", "Página 3 de {LastPageNumber}"},
        {"", "3\t{LastPageNumber}", "3{LastPageNumber}"},
        {"Hoja ", "3\t7", "Hoja 37"},
        {"# / #|Sigue;Fin|", "2\t9", "2 / 9"},
        {"[#]", "", "[]"},
        {"##", "", "#"}, // an empty value still fills one mark
        {"#-#-#", "a\tb", "a-b-#"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MergeInfoMask(c.mask, c.value), c.result) << c.mask;
}

TEST(TextSystemInfo, DatesUseTheLocaleFormatsWithoutZoneAndNowDropsMidnight) {
    const QDateTime afternoon(QDate(2024, 3, 12), QTime(13, 5, 9));
    const QDateTime midnight(QDate(2024, 3, 12), QTime(0, 0));
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::Spanish, QLocale::Spain), QLocale::c()}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString date = InfoDateText(itDate, afternoon, locale);
        const QString hour = InfoDateText(itHour, afternoon, locale);
        EXPECT_EQ(date, locale.toString(QDate(2024, 3, 12), QLocale::ShortFormat));
        EXPECT_TRUE(hour.contains(":05:09") && !hour.contains("UTC") && !hour.endsWith(' '))
            << hour.toStdString();
        EXPECT_TRUE(InfoDateText(itFullDate, afternoon, locale).contains(QStringLiteral("2024")));
        EXPECT_NE(InfoDateText(itFullDate, afternoon, locale), date);
        EXPECT_EQ(InfoDateText(itNow, afternoon, locale), date + QLatin1Char(' ') + hour);
        EXPECT_EQ(InfoDateText(itNow, midnight, locale), date);
        EXPECT_TRUE(InfoDateText(itPageNumber, afternoon, locale).isEmpty());
    }
    const QLocale spain(QLocale::Spanish, QLocale::Spain);
    EXPECT_EQ(InfoDateText(itHour, afternoon, spain), QStringLiteral("13:05:09"));
    EXPECT_TRUE(InfoDateText(itFullDate, afternoon, spain).contains(QStringLiteral("marzo")));
}

TEST(TextSystemInfo, OutsidePreparationTheCaptionNamesTheValue) {
    TRLSystemInfo info;
    EXPECT_EQ(info.Caption(), QStringLiteral("(Date)"));
    info.SetInfo(itPagePreview);
    info.SetText(QStringLiteral("Página # de #"));
    EXPECT_EQ(info.Caption(), QStringLiteral("Página (PageNumber) de (LastPageNumber)"));
    info.SetText(QString());
    info.SetInfo(itLastPageNumber);
    // As a layout sets it: the caption follows once loading ends.
    info.BeginLoad();
    info.SetFriendlyName(QStringLiteral("Ultima"));
    info.EndLoad();
    EXPECT_EQ(info.Caption(), QStringLiteral("Ultima"));
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

    explicit InfoReport(const QString& mask = QString()) : OneBandReport(400) {
        for (int i = 0; i < InfoTypeCount; ++i) {
            auto* info = AddInfo(band, static_cast<TRLInfoType>(i), mask, 0, i * 20);
            info->BeforePrint = [this, i](TRLCustomControl&, QString& text, bool&) {
                printed[static_cast<TRLInfoType>(i)] = text;
            };
            infos[static_cast<TRLInfoType>(i)] = info;
        }
    }
};

} // namespace

TEST(TextSystemInfo, EveryKindPrintsItsValueWhilePreparing) {
    InfoReport doc;
    doc.report.SetTitle(QStringLiteral("Solicitud"));
    doc.report.SetFirstPageNumber(10);
    const auto page = doc.Prepare();
    const QDateTime date = doc.report.ReportDate();
    ASSERT_TRUE(date.isValid());
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

    // The page store puts the last page number in when the page is drawn.
    QString last;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*page))
        if (t->Text == QStringLiteral("{LastPageNumber}"))
            last = page->ExpandMacros(t->Text);
    EXPECT_EQ(last, QStringLiteral("10"));
    // Back at design time, the captions name their values again.
    EXPECT_EQ(doc.infos[itTitle]->Caption(), QStringLiteral("(Title)"));
}

TEST(TextSystemInfo, ClearMaskPrintsNothingWhateverTheKind) {
    InfoReport doc(QStringLiteral("^CLEAR"));
    doc.Prepare();
    ASSERT_EQ(doc.printed.size(), size_t(InfoTypeCount));
    for (const auto& [kind, text] : doc.printed)
        EXPECT_TRUE(text.isEmpty())
            << InfoTypeNames()[kind].toStdString() << ": " << text.toStdString();
}

TEST(TextSystemInfo, PagesNumberFromFirstPageNumberAndContinuationTextsFollowTheRun) {
    OneBandReport doc(40);
    doc.report.SetFirstPageNumber(10);
    AddInfo(doc.band, itPagePreview, "Hoja # de #", 0, 0);
    AddInfo(doc.band, itDate, QString(), 0, 20);
    AddInfo(doc.band, itMend, "|viene de la hoja anterior|", 300, 20);
    AddInfo(doc.AddBand("Footer", btFooter, 20), itJunction, "|Sigue;Fin|", 0, 0);
    AddInfo(doc.AddBand("Detail", btDetail, 600), itRecNo, "Registro #", 0, 0);

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
        EXPECT_TRUE(texts.contains(QStringLiteral("Hoja %1 de %2").arg(10 + p).arg(9 + pages)))
            << texts.join(QLatin1Char('|')).toStdString();
        // The same report date on every page.
        EXPECT_TRUE(texts.contains(InfoDateText(itDate, doc.report.ReportDate())));
        EXPECT_EQ(texts.contains(QStringLiteral("viene de la hoja anterior")), p > 0);
        EXPECT_TRUE(
            texts.contains(p + 1 < pages ? QStringLiteral("Sigue") : QStringLiteral("Fin")));
        EXPECT_EQ(texts.contains(QStringLiteral("Registro 1")), p == 0);
    }
}
