// What reading frames together costs: FrameReader::push on a frame where
// nothing is followed yet (a new reader each time) against read on the same
// picture, for a symbol under a glare that does not read alone, a clear
// symbol and a picture without one; and a whole glare clip pushed through
// one reader against reading its frames one by one.
//
//   ./frame_bench [--benchmark_filter=push]
#include <benchmark/benchmark.h>

#include <pdf417read/pdf417read.h>

#include <random>
#include <string>
#include <vector>

#include "support/glare_clips.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

const char kMessage[] = "LICENCE 0123456789 ANYTOWN DRIVER CLASS C; frames read together give every codeword.";

GrayPicture card() {
  SymbolOptions options;
  options.columns = 6;
  options.eccLevel = 2;
  ModuleMatrix symbol;
  encodeSymbol(kMessage, options, &symbol);
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  return drawSymbol(symbol, draw);
}

// The glare over each data column's middle in turn, as frame_reader_test sweeps it.
std::vector<GrayPicture> clip() {
  GlareSweep sweep;
  sweep.frames = 6;
  sweep.from = 20 + 3 * (34 + 8.5);
  sweep.to = 20 + 3 * (34 + 17 * 5 + 8.5);
  return glareClip(card(), sweep);
}

GrayPicture noise(int width, int height) {
  GrayPicture picture = blankPicture(width, height);
  std::mt19937 random(1);
  for (unsigned char& v : picture.pixels) v = (unsigned char)random();
  return picture;
}

const GrayPicture& pictureOf(int kind) {
  static const GrayPicture pictures[3] = {clip()[2], card(), noise(640, 480)};
  return pictures[kind];
}

pdf417read::ImageView viewOf(const GrayPicture& picture) {
  return pdf417read::ImageView(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
}

const char* kKinds[3] = {"glare", "clear", "noise"};

void readOne(benchmark::State& state) {
  const GrayPicture& picture = pictureOf((int)state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(pdf417read::read(viewOf(picture)));
  state.SetLabel(kKinds[state.range(0)]);
}

void pushOne(benchmark::State& state) {
  const GrayPicture& picture = pictureOf((int)state.range(0));
  for (auto _ : state) {
    pdf417read::FrameReader reader;
    benchmark::DoNotOptimize(reader.push(viewOf(picture)));
  }
  state.SetLabel(kKinds[state.range(0)]);
}

void readClip(benchmark::State& state) {
  std::vector<GrayPicture> frames = clip();
  for (auto _ : state)
    for (const GrayPicture& frame : frames) benchmark::DoNotOptimize(pdf417read::read(viewOf(frame)));
}

void pushClip(benchmark::State& state) {
  std::vector<GrayPicture> frames = clip();
  size_t decoded = 0;
  for (auto _ : state) {
    pdf417read::FrameReader reader;
    for (const GrayPicture& frame : frames) decoded += reader.push(viewOf(frame)).symbols.size();
  }
  state.counters["decoded"] = benchmark::Counter((double)decoded, benchmark::Counter::kAvgIterations);
}

BENCHMARK(readOne)->Name("read")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(pushOne)->Name("push")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(readClip)->Name("read/clip")->Unit(benchmark::kMillisecond);
BENCHMARK(pushClip)->Name("push/clip")->Unit(benchmark::kMillisecond);

}  // namespace
