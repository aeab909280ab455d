// Kelmora: prepares a faculty's travel-allowance request and prints its documents.
#include <kelmora/app/KelmoraApp.h>

#include <QApplication>

using namespace Kelmora;

int main(int, char** argv) {
    // The program reads no command line: the toolkit sees the program name only, so that none
    // of its own options can change how the program starts.
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argv[0], nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    return RunKelmora();
}
