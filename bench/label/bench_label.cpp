// Rebuild + layout of the information page's captions and of a 10 KB caption of mixed mark-up:
// on the toolkit-free core with fixed metrics, and (with the Qt parts) through TMDLabel with
// real font metrics under the offscreen platform.
#include "labelcore.h"

#include <benchmark/benchmark.h>

#include <string>

#ifdef RV58_WITH_QT
#include "MD_Label.h"

#include <QApplication>
#endif

namespace {

const char* const kCaptions[] = {
    "Elérhető soros portok (<a>frissítés</a>)",
    "Az <a>eszközkezelő indítása</a><br>A .rv5 <a>file társítása</a> a programhoz",
    "<a>https://www.rv58led.hu/tamogatas</a>",
};

std::string MixedCaption() {
  const std::string piece =
      "<b>Súly</b> <c:clred>kijelző</c> <i>beállítás</i> &lt;RV58&gt; <bc:$00FFFF>háttér</bc>\t"
      "<fs:12>nagy</fs> <t>tab <a>hivatkozás szöveg</a> <u>aláhúzott</u> <dsp>12<br>"
      "<tf:30>behúzott bekezdés hosszabb szöveggel, amely tördelődik <a:cel>cél</a><br>";
  std::string out;
  while (out.size() < 10 * 1024) {
    out += piece;
  }
  return out;
}

class TFixedMeasurer : public rv58::ITextMeasurer {
public:
  TExtent TextExtent(const rv58::TLabelFont& font, std::u16string_view text) override {
    return TExtent{int(text.size()) * 7, 2 * font.PointSize()};
  }
  int Descent(const rv58::TLabelFont& font) override { return font.PointSize() / 2; }
};

void RunCore(benchmark::State& state, const std::string& utf8, bool wrap) {
  TFixedMeasurer measurer;
  rv58::TMDLabelCore core(measurer);
  core.Caption = *rv58::DecodeUtf8Strict(utf8);
  core.AutoSizeWidth = !wrap;
  core.Width = 400;
  for (auto _ : state) {
    core.Rebuild();
    benchmark::DoNotOptimize(core.Lines().size());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(utf8.size()));
}

void BM_CoreInfoCaptions(benchmark::State& state) {
  TFixedMeasurer measurer;
  rv58::TMDLabelCore core(measurer);
  std::u16string captions[3];
  for (int i = 0; i < 3; ++i) {
    captions[i] = *rv58::DecodeUtf8Strict(kCaptions[i]);
  }
  for (auto _ : state) {
    for (const auto& caption : captions) {
      core.Caption = caption;
      core.Rebuild();
      benchmark::DoNotOptimize(core.Lines().size());
    }
  }
}
BENCHMARK(BM_CoreInfoCaptions);

void BM_CoreMixed10K(benchmark::State& state) {
  RunCore(state, MixedCaption(), state.range(0) != 0);
}
BENCHMARK(BM_CoreMixed10K)->Arg(0)->Arg(1)->ArgNames({"wrap"});

#ifdef RV58_WITH_QT
// Alternates between two captions so that every step is a real rebuild and layout.
void RunWidget(benchmark::State& state, const std::vector<std::string>& captions, bool wrap) {
  rv58::TMDLabel label;
  if (wrap) {
    label.SetAutoSizeWidth(false);
    label.resize(400, 20);
  }
  std::size_t k = 0;
  for (auto _ : state) {
    for (const auto& caption : captions) {
      label.SetCaptionUTF8(caption + ((k & 1) ? " " : ""));
    }
    ++k;
    benchmark::DoNotOptimize(label.Core().Lines().size());
  }
}

void BM_WidgetInfoCaptions(benchmark::State& state) {
  RunWidget(state, {kCaptions[0], kCaptions[1], kCaptions[2]}, false);
}
BENCHMARK(BM_WidgetInfoCaptions);

void BM_WidgetMixed10K(benchmark::State& state) {
  RunWidget(state, {MixedCaption()}, state.range(0) != 0);
}
BENCHMARK(BM_WidgetMixed10K)->Arg(0)->Arg(1)->ArgNames({"wrap"});
#endif

} // namespace

int main(int argc, char** argv) {
#ifdef RV58_WITH_QT
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
