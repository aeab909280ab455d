// Test entry point: every suite runs inside a QApplication on the offscreen platform with a fixed
// locale, so that fonts, images, widgets and messages behave the same on every machine and under
// every caller's language.
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "UTC", 0);
    // Whatever locale the caller runs in, the tests and the programs they start see the same
    // one: the engine picks its message language from it. A test that runs a child under a
    // locale of its choosing names it in KELMORA_TEST_LOCALE.
    const char* chosen = std::getenv("KELMORA_TEST_LOCALE");
    const char* locale = chosen && *chosen ? chosen : "C.UTF-8";
    setenv("LC_ALL", locale, 1);
    setenv("LANG", locale, 1);
    unsetenv("LANGUAGE");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
