// Start-up shared by the Qt benchmarks: they draw on the offscreen platform
// unless QT_QPA_PLATFORM names another.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

namespace sf::bench {

inline void preferOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The whole main() of a benchmark that needs no more than a QApplication.
inline int runGuiBenchmarks(int argc, char** argv) {
    preferOffscreenPlatform();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace sf::bench
