// The scale search on the line simulator: the time on the line until the answer (counter
// "line_s"), for a scale at 2400 7E1 and one at 57600 8N1 sending 2 frames a second, and the CPU
// the search itself needs for it.
#include "scalesearch.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SearchToAnswer(benchmark::State& state) {
  const auto format = rv58::TLineFormat::FromIndices(static_cast<std::int32_t>(state.range(0)),
                                                     static_cast<std::int32_t>(state.range(1)));
  rv58::TBitStream line;
  const char* frames[] = {"ST,GS,+0001.23kg\r\n", "ST,GS,+0001.25kg\r\n", "ST,GS,+0012.50kg\r\n"};
  for (int i = 0; i < 80; ++i)
    rv58::Transmit(line, format, 0.013 + i * 0.5, frames[i % 3]);
  double took = 0, worst = 0;
  int runs = 0;
  for (auto _ : state) {
    // Listening starts at a different moment of the scale's cycle each run.
    const double start = 0.05 * (runs % 10);
    rv58::TLineSearch search;
    const double end = rv58::RunSearchOnLine(search, line, start);
    if (search.Result().outcome != rv58::TSearchOutcome::soFOUND || !(search.Result().format == format)) {
      state.SkipWithError("wrong answer");
      break;
    }
    took += end - start;
    worst = std::max(worst, end - start);
    ++runs;
  }
  state.counters["line_s"] = runs ? took / runs : 0;
  state.counters["worst_line_s"] = worst;
  state.SetLabel(format.Name());
}

} // namespace

BENCHMARK(BM_SearchToAnswer)->Args({3, 10})->Args({10, 3})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
