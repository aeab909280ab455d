#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <QCoreApplication>
#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cstdio>

using namespace Kelmora;

namespace {

constexpr TRLLanguage kLanguages[] = {lgEnglish, lgSpanish, lgFrench, lgPortuguese};

// The texts themselves are read by the start-up test below and the preview's naming and fit tests.
TEST(SupportMessages, EveryTextExistsAndCaptionsKeepOneAccessKey) {
    for (const TRLLanguage language : kLanguages) {
        TRLMessageTable table;
        table.Fill(language);
        for (std::size_t k = 0; k < RLMessageKeyCount; ++k) {
            const auto key = static_cast<TRLMessageKey>(k);
            const QString& text = table[key];
            EXPECT_FALSE(text.isEmpty()) << "language " << language << " key " << k;
            const bool isCaption = key >= mkText && key <= mkDown;
            EXPECT_EQ(text.count(u'&'), isCaption ? 1 : 0)
                << "language " << language << " key " << k << ": " << text.toStdString();
        }
    }
}

// Spanish and the English fallback are the start-up test's, below.
TEST(SupportLanguageChoice, OnlyTheFourLanguagesHaveTables) {
    EXPECT_EQ(LanguageOfLocale(QLocale(QStringLiteral("fr_CA"))), lgFrench);
    EXPECT_EQ(LanguageOfLocale(QLocale(QStringLiteral("pt_BR"))), lgPortuguese);
}

// A process fixes its locale when it starts: the check runs in a child process of this program.
constexpr const char* kChildVariable = "KELMORA_SUPPORT_CHILD";

// Started by the parent test below only.
TEST(SupportStartUp, DISABLED_ChildPrintsTheStartUpLanguage) {
    ASSERT_FALSE(qEnvironmentVariableIsEmpty(kChildVariable));
    InitEngineSupport();
    std::puts(RLMessages[mkPreparingReport].toUtf8().constData());
    FinishEngineSupport();
}

QString StartUpTextUnder(const QString& localeName) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("KELMORA_TEST_LOCALE"), localeName);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_also_run_disabled_tests"),
         QStringLiteral("--gtest_filter=SupportStartUp.DISABLED_ChildPrintsTheStartUpLanguage")});
    EXPECT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    // The child's first line of output that is not gtest's own is the message.
    for (const QByteArray& line : child.readAllStandardOutput().split('\n'))
        if (!line.isEmpty() && !line.startsWith('[') && !line.startsWith("Note:"))
            return QString::fromUtf8(line);
    return QString();
}

TEST(SupportStartUp, StartUpFillsMessagesInTheUsersLanguage) {
    EXPECT_EQ(StartUpTextUnder(QStringLiteral("es_ES.UTF-8")),
              QString::fromUtf8("Preparación del informe..."));
    EXPECT_EQ(StartUpTextUnder(QStringLiteral("de_DE.UTF-8")),
              QStringLiteral("Preparing report..."));
}

} // namespace
