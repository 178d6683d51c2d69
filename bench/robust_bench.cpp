// Time per picture of the public read over a folder of pictures (the corpus
// the decode rate is measured on), with the median and the worst, and the
// worst case of a picture that holds no symbol.
//
//   PDF417_BENCH_CORPUS=/path/to/pictures ./robust_bench
#include <benchmark/benchmark.h>
#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "pipeline/symbol_scan.h"
#include "support/corpus_pictures.h"

using namespace pdf417read::detail;

namespace {

struct Picture {
  std::string name;
  int width = 0, height = 0;
  std::vector<unsigned char> gray;
};

const std::vector<Picture>& corpus() {
  static std::vector<Picture> pictures;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    if (const char* folder = std::getenv("PDF417_BENCH_CORPUS"))
      for (const CorpusPicture& c : loadCorpus(folder))
        pictures.push_back(Picture{c.name, c.picture.width, c.picture.height, c.picture.pixels});
  }
  return pictures;
}

double decodeSeconds(const Picture& picture) {
  auto begin = std::chrono::steady_clock::now();
  pdf417read::ImageView view(picture.gray.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  benchmark::DoNotOptimize(pdf417read::read(view));
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// One pass over the corpus per iteration; the counters give the median and
// the worst picture of the last pass.
void BM_RobustCorpus(benchmark::State& state) {
  const std::vector<Picture>& pictures = corpus();
  if (pictures.empty()) {
    state.SkipWithError("set PDF417_BENCH_CORPUS to a folder of pictures");
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    times.clear();
    for (const Picture& picture : pictures) times.push_back(decodeSeconds(picture));
  }
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  state.counters["pictures"] = (double)pictures.size();
  state.counters["median_ms"] = sorted[sorted.size() / 2] * 1e3;
  state.counters["worst_ms"] = sorted.back() * 1e3;
  size_t worst = std::max_element(times.begin(), times.end()) - times.begin();
  state.SetLabel("worst: " + pictures[worst].name);
}
BENCHMARK(BM_RobustCorpus)->Unit(benchmark::kMillisecond)->Iterations(1);

// A picture with no symbol tries every reading: the bounded worst case.
void BM_RobustNoSymbol(benchmark::State& state) {
  Picture noise;
  noise.width = (int)state.range(0);
  noise.height = noise.width * 3 / 4;
  std::mt19937 random(1);
  for (int i = 0; i < noise.width * noise.height; i++) noise.gray.push_back((unsigned char)random());
  for (auto _ : state) benchmark::DoNotOptimize(decodeSeconds(noise));
  SymbolReading reading;
  ScanStats stats;
  ScanRequest request = {kEffortNormal, 1, nullptr};
  readSymbolsByScan(noise.gray.data(), noise.width, noise.height, request, &reading, 1, &stats);
  state.counters["readings"] = stats.readings;
}
BENCHMARK(BM_RobustNoSymbol)->Arg(640)->Arg(1600)->Arg(4000)->Unit(benchmark::kMillisecond);

}  // namespace
