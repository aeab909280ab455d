// Shared set-up for the benchmarks: a GUI application on the offscreen platform (fonts and
// images need one) and the engine's start-up, plus the process's resident memory.
#pragma once

#include <kelmora/support/RLUtils.h>

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <fstream>
#include <unistd.h>

using namespace Kelmora;

inline double ResidentMegabytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

#define KELMORA_BENCHMARK_MAIN()                                                                   \
    int main(int argc, char** argv) {                                                              \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        QGuiApplication app(argc, argv);                                                           \
        InitEngineSupport();                                                                       \
        ::benchmark::Initialize(&argc, argv);                                                      \
        ::benchmark::RunSpecifiedBenchmarks();                                                     \
        ::benchmark::Shutdown();                                                                   \
        FinishEngineSupport();                                                                     \
        return 0;                                                                                  \
    }
