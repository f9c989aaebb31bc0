// SPDX-License-Identifier: MIT
// The main of every benchmark program: a headless QApplication unless a
// platform is asked for, the context worth keeping with the figures, the run.
#pragma once

#include <benchmark/benchmark.h>
#include <QApplication>
#include <string>
#include <utility>
#include <vector>

inline int runBenchmarks(
    int argc, char *argv[], const std::vector<std::pair<std::string, std::string>> &context = {})
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::AddCustomContext("qpa", QGuiApplication::platformName().toStdString());
    for (const auto &[key, value] : context)
        benchmark::AddCustomContext(key, value);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
