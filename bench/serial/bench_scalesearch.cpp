// Detection on the corpus of indicator formats through the line simulator: per format and speed,
// the frames shown right with the detected settings against those shown right with the settings
// made by hand (counters "right" and "best"), and the time on the line until the answer
// ("line_s", target under 30 s). The CPU time is the search's own. The totals follow the table.
#include "scalecorpus.h"
#include "scalesearch.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

struct TTotals {
  int right = 0, best = 0;
  double worst = 0;
} gTotals;

void BM_Detect(benchmark::State& state) {
  const auto& format = rv58::corpus::Formats()[static_cast<std::size_t>(state.range(0))];
  rv58::TLineFormat line = format.line;
  if (state.range(1) != 0)
    line.baud = static_cast<std::uint32_t>(state.range(1));
  const rv58::TBitStream stream = rv58::corpus::Send(format, line, 60);
  int right = 0, best = 0;
  double took = 0;
  for (auto _ : state) {
    rv58::TLineSearch search;
    const double start = 0.07 * static_cast<double>(state.range(0) % 7);
    took = rv58::RunSearchOnLine(search, stream, start) - start;
    const auto r = search.Result();
    right = r.outcome == rv58::TSearchOutcome::soFOUND && r.format == line
                ? rv58::corpus::FramesShownRight(format, r.frames.settings)
                : 0;
    best = rv58::corpus::FramesShownRight(format, format.best);
  }
  gTotals.right += right;
  gTotals.best += best;
  gTotals.worst = std::max(gTotals.worst, took);
  state.counters["right"] = right;
  state.counters["best"] = best;
  state.counters["line_s"] = took;
  state.SetLabel(format.name + " @ " + line.Name());
}

void Args(benchmark::internal::Benchmark* b) {
  for (std::size_t i = 0; i < rv58::corpus::Formats().size(); ++i) {
    b->Args({static_cast<long>(i), 0});
    b->Args({static_cast<long>(i), rv58::corpus::Formats()[i].line.baud == 9600 ? 4800 : 9600});
  }
}

} // namespace

BENCHMARK(BM_Detect)->Apply(Args)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf(
      "frames shown right: detected %d, by hand %d (%.1f %%); longest detection %.1f s of line time\n",
      gTotals.right, gTotals.best, gTotals.best ? 100.0 * gTotals.right / gTotals.best : 0.0, gTotals.worst);
  return 0;
}
