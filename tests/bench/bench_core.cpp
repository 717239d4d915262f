// Throughput of the plain-text split and of building a large text from small appends.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

#include "core/CellGrid.h"

namespace {

std::string tabSeparatedText(int rows, int columns) {
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c) text += '\t';
            text += "cell" + std::to_string(r * columns + c);
        }
        text += "\r\n";
    }
    return text;
}

void SplitTextIntoGrid(benchmark::State& state) {
    std::string text = tabSeparatedText(static_cast<int>(state.range(0)), 20);
    for (auto _ : state) {
        if (grid::SplitTextIntoGrid<char>(text.c_str()) != grid::kOk) state.SkipWithError("the split failed");
        grid::ReleaseCellGrid<char>();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(SplitTextIntoGrid)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

void AppendTextPieces(benchmark::State& state) {
    const int64_t pieces = state.range(0) / 10;
    const char16_t piece[] = u"0123456789";
    for (auto _ : state) {
        grid::TextBuffer<char16_t> buffer;
        if (grid::InitTextBuffer(buffer, 10000) != grid::kOk) {
            state.SkipWithError("no buffer");
            break;
        }
        for (int64_t i = 0; i < pieces; ++i)
            if (grid::AppendText(buffer, piece) != grid::kOk) state.SkipWithError("an append failed");
        benchmark::DoNotOptimize(buffer.data);
        grid::FreeTextBuffer(buffer);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 2);
}
BENCHMARK(AppendTextPieces)->Arg(10'000'000)->Arg(20'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

// Every iteration frees tens of megabytes. Left to itself, glibc shrinks and regrows its heap at
// some sizes and not at others, so that one size pays fresh page faults in every iteration and
// the next does not; a generous heap padding makes the sizes comparable.
int main(int argc, char** argv) {
    mallopt(M_TOP_PAD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
