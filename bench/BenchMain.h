#pragma once

#include "platform/Look.h"

#include <QApplication>
#include <QDir>
#include <QString>
#include <benchmark/benchmark.h>
#include <vector>

// Runs the benchmarks of a program once its application object exists. The data
// sets are kept in `cache`: --cache DIR, else QUILLMERE_BENCH_CACHE, else ./bench-data.
inline int runBenchmarks(int argc, char** argv, QString& cache) {
    cache = qEnvironmentVariable("QUILLMERE_BENCH_CACHE", QDir::current().filePath(QStringLiteral("bench-data")));
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--cache" && i + 1 < argc)
            cache = QString::fromLocal8Bit(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    QDir().mkpath(cache);
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Runs the benchmarks of a program that opens the program's windows, in its look:
// on the display there is (bench/run.sh gives one, so painting reaches a screen),
// else off screen.
inline int runWindowBenchmarks(int argc, char** argv, QString& cache) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyProgramLook(app);
    return runBenchmarks(argc, argv, cache);
}
