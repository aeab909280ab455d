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
    // one: the engine picks its message language from it.
    setenv("LC_ALL", "C.UTF-8", 1);
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LANGUAGE");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
