// The results dialog's report under a flood: the longest the user-interface
// thread goes without turning its event loop while a worker writes failed
// TEST UNIT READY lines as fast as it can, and how long the report takes.
// The GUI test checks the pacing itself; the times live here.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include "ui/legacytest/paced_output.h"

namespace {

void LongReportThroughPacedOutput(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QPlainTextEdit edit;
        PacedOutput output(edit);
        std::thread writer([&] {
            for (int i = 0; i < lines; ++i) output.Append("\r\nTEST UNIT FAILED\r\n");
        });
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(10);
        while (edit.blockCount() <= 2 * lines) QApplication::processEvents(QEventLoop::AllEvents, 20);
        writer.join();
        state.counters["longest_gap_ms"] = static_cast<double>(longest);
    }
}

}  // namespace

BENCHMARK(LongReportThroughPacedOutput)->Arg(200000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
