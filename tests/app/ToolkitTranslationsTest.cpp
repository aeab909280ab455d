// On a Spanish desktop the toolkit's own words speak Spanish too.
#include <kelmora/app/ToolkitTranslations.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

QString StandardCancel() {
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text();
}

TEST(ToolkitTranslations, SpanishDesktopGetsTheToolkitsWordsInSpanishUntilTheyAreTakenBack) {
    const QString english = StandardCancel();
    ASSERT_EQ(english, QStringLiteral("Cancel"));
    {
        TToolkitTranslations translations;
        // An English or unknown desktop keeps the toolkit's own words.
        translations.Install(QLocale::c());
        EXPECT_EQ(StandardCancel(), english);
        ASSERT_TRUE(translations.Install(QLocale(QLocale::Spanish, QLocale::Argentina)))
            << "no translation of the toolkit for Spanish: the setup installs "
               "qt6-translations-l10n";
        EXPECT_EQ(StandardCancel(), QStringLiteral("Cancelar"));
        EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("&Deshacer"));

        // Installing again for another language replaces the first.
        ASSERT_TRUE(translations.Install(QLocale(QLocale::French, QLocale::France)));
        EXPECT_EQ(StandardCancel(), QStringLiteral("Annuler"));
    }
    EXPECT_EQ(StandardCancel(), english);
}

} // namespace
