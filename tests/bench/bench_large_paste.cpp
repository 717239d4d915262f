// A plain-text paste of 100,000 rows x 10 columns (about 10 MB of text) through a whole conversion
// run of one program: `bench_large_paste gridweave|gridquill [ROWS]`. Prints the time, the sizes
// and the peak memory the run took beyond what it started with, beside 4 x (input + output); fails
// (exit 1) when the run does not complete. One program per process, so that its peak is its own.
// Without a program name (or with Google Benchmark's --benchmark_* options) it times the same runs
// of 10,000 and 100,000 rows in both programs as benchmarks.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "core/CellGrid.h"
#include "core/ConversionRun.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlProgram.h"
#include "platform/Clipboard.h"
#include "platform/fake/FakeClipboard.h"
#include "platform/fake/FakeMessageBox.h"
#include "wiki/WikiProgram.h"

namespace {

size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

// The peak resident size since the last resetPeak (VmHWM).
size_t peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return size_t(std::stoull(line.substr(6))) * 1024;
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string pasteText(int rows) {
    std::string text;
    text.reserve(size_t(rows) * 10 * 10);
    char cell[16];
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < 10; ++column) {
            std::snprintf(cell, sizeof cell, "r%06dc%d", row, column);
            text += cell;
            text += column == 9 ? "\r\n" : "\t";
        }
    return text;
}

// One program's paste on the fake clipboard, ready for a whole conversion run.
template <class Ch>
struct LargePaste {
    grid::FakeMessageBox boxes;
    grid::FakeClipboard clipboard;
    static constexpr uint32_t kFormat = sizeof(Ch) == 1 ? grid::kFormatText : grid::kFormatUnicodeText;

    explicit LargePaste(int rows) {
        grid::setProgramParts(grid::kGridweaveParts);
        grid::setProgramParts(grid::kGridquillParts);
        grid::resetSettings<Ch>();
        grid::settings<Ch>().clipWaitCount = 1;
        if constexpr (sizeof(Ch) == 1) std::strcpy(grid::settings<char>().cell_sep.text, "|");
        put(pasteText(rows));
    }

    void put(const std::string& text) {
        if constexpr (sizeof(Ch) == 1) {
            clipboard.putText(text);
        } else {
            clipboard.putUnicodeText(std::u16string(text.begin(), text.end()));
        }
        clipboard.synthesizesText = false;
    }

    size_t clipboardBytes() { return clipboard.bytesOf(kFormat).size(); }
};

template <class Ch>
int run(int rows) {
    LargePaste<Ch> paste(rows);
    const size_t input = paste.clipboardBytes();
    const size_t before = residentBytes();
    resetPeak();
    const auto start = std::chrono::steady_clock::now();
    const grid::StatusCode status = grid::runConversion<Ch>();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t output = paste.clipboardBytes();
    const size_t taken = peakBytes() > before ? peakBytes() - before : 0;
    const double ratio = double(taken) / double(input + output);
    std::printf("%s: %d rows x 10 columns, input %.1f MB, output %.1f MB, %.2f s, memory beyond the start %.1f MB "
                "(%.2f x input + output; the cell records alone take %.1f MB)%s\n",
                sizeof(Ch) == 1 ? "gridquill" : "gridweave", rows, input / 1e6, output / 1e6, seconds, taken / 1e6,
                ratio, double(rows) * 10 * sizeof(grid::CellRecord<Ch>) / 1e6, status == grid::kOk ? "" : ", the run FAILED");
    return status == grid::kOk ? 0 : 1;
}

// The same run as a benchmark: the paste is put back on the clipboard outside the timing.
template <class Ch>
void BM_LargePaste(benchmark::State& state) {
    const int rows = int(state.range(0));
    LargePaste<Ch> paste(rows);
    const std::string text = pasteText(rows);
    size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        paste.put(text);
        bytes = paste.clipboardBytes();
        state.ResumeTiming();
        if (grid::runConversion<Ch>() != grid::kOk) {
            state.SkipWithError("the run failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_LargePaste<char16_t>)->Name("Gridweave/LargePaste")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargePaste<char>)->Name("Gridquill/LargePaste")->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : "";
    const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
    if (program == "gridweave") return run<char16_t>(rows);
    if (program == "gridquill") return run<char>(rows);
    if (program.rfind("--benchmark", 0) == 0 || program.empty()) {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    std::fprintf(stderr, "usage: bench_large_paste gridweave|gridquill [ROWS], or with Google Benchmark's options\n");
    return 2;
}
