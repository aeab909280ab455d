// Test entry point: every suite runs inside a QApplication on the offscreen platform with a fixed
// locale, so that fonts, images, widgets and messages behave the same on every machine and under
// every caller's language.
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The programs keep data and settings in the user's folders (the request register, say):
    // the tests and the programs they start get folders of the run's own, never the caller's, and
    // no register named by the caller's environment.
    char home[] = "/tmp/kelmora-test-home.XXXXXX";
    const bool ownHome = mkdtemp(home) != nullptr;
    if (ownHome) {
        setenv("XDG_DATA_HOME", (std::string(home) + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (std::string(home) + "/config").c_str(), 1);
    }
    unsetenv("KELMORA_REGISTER");
    setenv("TZ", "UTC", 0);
    // Whatever locale the caller runs in, the tests and the programs they start see the same
    // one: the engine picks its message language from it. A test that runs a child under a
    // locale of its choosing names it in KELMORA_TEST_LOCALE.
    //
    // A suite registered to run on the users' own desktop as well gets that locale in
    // KELMORA_TEST_USERS_LOCALE: there the C library must really switch to it (the toolkit
    // switches it when the application starts, and number conversions follow it), or the run
    // would pass in C.UTF-8 while claiming to have tried the users' locale.
    const char* users = std::getenv("KELMORA_TEST_USERS_LOCALE");
    const char* chosen = users && *users ? users : std::getenv("KELMORA_TEST_LOCALE");
    const char* locale = chosen && *chosen ? chosen : "C.UTF-8";
    setenv("KELMORA_TEST_LOCALE", locale, 1);
    setenv("LC_ALL", locale, 1);
    setenv("LANG", locale, 1);
    unsetenv("LANGUAGE");
    // Texts the tests compare are written for one toolkit locale; the C library's is the caller's.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    if (users && *users && !std::setlocale(LC_ALL, users)) {
        std::fprintf(stderr, "The locale %s is not installed (scripts/setup makes it)\n", users);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (ownHome)
        std::filesystem::remove_all(home);
    return status;
}
