#include <benchmark/benchmark.h>

#include <vector>

#include "locate/binarize.h"
#include "locate/grid_sampling.h"
#include "locate/start_stop_search.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// A symbol of a few hundred bytes drawn large, as a scanned page would hold it.
GrayPicture benchPicture() {
  ModuleMatrix symbol;
  std::string text(300, 'x');
  for (size_t i = 0; i < text.size(); i++) text[i] = (char)('A' + i * 7 % 26);
  encodeSymbol(text, SymbolOptions{}, &symbol);
  DrawOptions draw;
  draw.modulePixels = 4;
  draw.rowPixels = 12;
  draw.quietPixels = 60;
  draw.dark = 30;
  draw.light = 220;
  return drawSymbol(symbol, draw);
}

void BM_BinarizeImage(benchmark::State& state) {
  GrayPicture picture = benchPicture();
  std::vector<unsigned char> work;
  for (auto _ : state) {
    work = picture.pixels;
    binarizeImage(work.data(), picture.width, picture.height);
    benchmark::DoNotOptimize(work.data());
  }
  state.counters["pixels"] = (double)picture.pixels.size();
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)picture.pixels.size());
}
BENCHMARK(BM_BinarizeImage);

void BM_FindStartStopUpright(benchmark::State& state) {
  GrayPicture picture = benchPicture();
  binarizeImage(picture.pixels.data(), picture.width, picture.height);
  StartStopCorners corners;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        findStartStopUpright(picture.pixels.data(), picture.width, picture.height, &corners));
}
BENCHMARK(BM_FindStartStopUpright);

void BM_SampleGrid(benchmark::State& state) {
  GrayPicture picture = benchPicture();
  int w = picture.width - 120, h = picture.height - 120;
  std::vector<unsigned char> grid((size_t)w * h);
  for (auto _ : state) {
    sampleGrid(picture.pixels.data(), 60, 62, 60 + w, 58, 58 + w, 60 + h, 62, 61 + h,
               picture.width, grid.data(), w, h, picture.height);
    benchmark::DoNotOptimize(grid.data());
  }
  state.SetItemsProcessed((int64_t)state.iterations() * w * h);
}
BENCHMARK(BM_SampleGrid);

}  // namespace
