// Speed of the whole decode and of each of its stages, on generated pictures
// of about 0.1, 1, 4 and 16 megapixels, and the time a picture file takes to
// load (the file named by PDF417_BENCH_PICTURE).
//
// The stage benchmarks call the stage functions with the inputs decodeImage
// gives them; those inputs are made once, outside the timed loops, by the
// same steps decodeImage takes. Buffers are allocated outside the loops too,
// so the stages' sum leaves out the allocations, the gray copy, the edge walk
// and the row padding that decodeImage also does.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "highlevel/data_decoder.h"
#include "highlevel/walk_trace.h"
#include "image/gray_conversion.h"
#include "image/picture_reader.h"
#include "locate/binarize.h"
#include "locate/edge_lines.h"
#include "locate/grid_sampling.h"
#include "locate/start_stop_search.h"
#include "pipeline/decode_pipeline.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// Room for the erasure positions rsDecode may write back.
enum { kErasureRoom = 929 };

// Upper-case text and spaces only: text compaction throughout, so the decode
// prints no trace lines. Long text fills many rows; large modules and tall
// rows then bring the picture to its size.
struct PictureRecipe {
  int textLength;
  int columns;
  int modulePixels;
  int rowPixels;
  int quietPixels;
};

const PictureRecipe kRecipes[] = {
    {100, 3, 3, 9, 20},     // 400 x 247, 23 rows
    {800, 8, 4, 15, 80},    // 980 x 1045, 59 rows
    {1700, 12, 7, 25, 45},  // 2001 x 2015, 77 rows
    {1700, 12, 14, 50, 90}, // 4002 x 4030, 77 rows
};
const int kRecipeCount = sizeof kRecipes / sizeof kRecipes[0];

struct BenchPicture {
  GrayPicture picture;
  std::string text;
  std::string error;  // why the symbol could not be made; empty when it was
};

std::string recipeText(int length) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
  std::string text;
  unsigned state = 12345;
  for (int i = 0; i < length; i++) {
    state = state * 1103515245u + 12345u;
    text += kAlphabet[(state >> 16) % 27];
  }
  return text;
}

BenchPicture makePicture(const PictureRecipe& recipe) {
  BenchPicture made;
  made.text = recipeText(recipe.textLength);
  SymbolOptions options;
  options.columns = recipe.columns;
  ModuleMatrix symbol;
  if (!encodeSymbol(made.text, options, &symbol, &made.error)) return made;
  DrawOptions draw;
  draw.modulePixels = recipe.modulePixels;
  draw.rowPixels = recipe.rowPixels;
  draw.quietPixels = recipe.quietPixels;
  made.picture = drawSymbol(symbol, draw);
  return made;
}

// Drawn once per size and kept for every benchmark.
const BenchPicture& benchPicture(int index) {
  static BenchPicture pictures[kRecipeCount];
  static bool drawn[kRecipeCount];
  if (!drawn[index]) {
    pictures[index] = makePicture(kRecipes[index]);
    drawn[index] = true;
  }
  return pictures[index];
}

void labelPicture(benchmark::State& state, const GrayPicture& picture) {
  char label[64];
  std::snprintf(label, sizeof label, "%.2f MP %dx%d",
                (double)picture.width * picture.height / 1e6, picture.width, picture.height);
  state.SetLabel(label);
  state.counters["megapixels"] = (double)picture.width * picture.height / 1e6;
}

// Empty when decodeImage reads the picture back to its text, else why not.
// The result's corners go to *corners when given.
std::string decodeProblem(const BenchPicture& made, DecodeResult* corners = nullptr) {
  if (!made.error.empty()) return "zint refused the symbol: " + made.error;
  std::vector<unsigned char> pixels = made.picture.pixels;
  std::unique_ptr<DecodeRecord> record(new DecodeRecord());
  DecodeResult* result = decodeImage(pixels.data(), made.picture.width, made.picture.height, record.get());
  if (!result) return "decodeImage found no text (failure " + std::to_string(record->failure) + ")";
  bool same = std::string(result->text, result->textLength) == made.text;
  if (corners) *corners = *result;
  freeDecodeResult(result);
  return same ? "" : "decodeImage read a different text";
}

// The copy of the picture (decodeImage binarises its input) is outside the
// timed part.
void BM_DecodeImage(benchmark::State& state) {
  const BenchPicture& made = benchPicture((int)state.range(0));
  std::string problem = decodeProblem(made);
  if (!problem.empty()) return state.SkipWithError(problem.c_str());
  const GrayPicture& picture = made.picture;
  std::vector<unsigned char> pixels(picture.pixels.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(pixels.data(), picture.pixels.data(), pixels.size());
    state.ResumeTiming();
    DecodeResult* result = decodeImage(pixels.data(), picture.width, picture.height);
    benchmark::DoNotOptimize(result);
    freeDecodeResult(result);
  }
  labelPicture(state, picture);
}
BENCHMARK(BM_DecodeImage)->DenseRange(0, kRecipeCount - 1)->Unit(benchmark::kMillisecond);

// The same decode as the library's readers take it: the picture is kept,
// so nothing is copied outside the timed part either.
void BM_DecodeImageKeeping(benchmark::State& state) {
  const BenchPicture& made = benchPicture((int)state.range(0));
  std::string problem = decodeProblem(made);
  if (!problem.empty()) return state.SkipWithError(problem.c_str());
  const GrayPicture& picture = made.picture;
  for (auto _ : state) {
    DecodeResult* result = decodeImageKeeping(picture.pixels.data(), picture.width, picture.height);
    benchmark::DoNotOptimize(result);
    freeDecodeResult(result);
  }
  labelPicture(state, picture);
}
BENCHMARK(BM_DecodeImageKeeping)->DenseRange(0, kRecipeCount - 1)->Unit(benchmark::kMillisecond);

// ---- The inputs each stage gets inside decodeImage -------------------------

struct StageInputs {
  int width = 0, height = 0;
  std::vector<unsigned char> gray;       // the picture as drawn
  std::vector<unsigned char> binarised;  // the picture after binarizeImage
  int corners[16] = {};                  // after the edge walk
  int provisionalWidth = 0, gridHeight = 0, columns = 0, gridWidth = 0;
  std::vector<unsigned char> readerRows;  // final grid, binarised, rows padded
  std::vector<int> codewords;             // as detectBStoCW leaves them
  int codewordCount = 0;
  int erasureCount = 0;
  std::vector<int> corrected;             // as rsDecode leaves them
  std::string problem;                    // empty when every stage succeeded
};

void sampleOnto(const unsigned char* source, const StageInputs& in, unsigned char* grid,
                int gridWidth) {
  const int* c = in.corners;
  sampleGrid(source, c[8], c[9], c[12], c[13], c[14], c[15], c[10], c[11], in.width, grid,
             gridWidth, in.gridHeight, in.height);
}

// Locating: binarisation, the upright search, the edge walk, both grids.
bool locateStages(StageInputs* in) {
  in->binarised = in->gray;
  binarizeImage(in->binarised.data(), in->width, in->height);
  StartStopCorners found;
  if (!findStartStopUpright(in->binarised.data(), in->width, in->height, &found))
    return (in->problem = "no upright symbol found"), false;
  std::memcpy(in->corners, found.entries, sizeof in->corners);
  int* c = in->corners;
  const unsigned char* dark = in->binarised.data();
  float a, b, cc;
  lineThroughPoints(c + 8, c + 10, &a, &b, &cc);
  walkEdge(dark, in->width, in->height, c + 8, a, b, cc, -1);
  walkEdge(dark, in->width, in->height, c + 10, a, b, cc, 1);
  lineThroughPoints(c + 12, c + 14, &a, &b, &cc);
  walkEdge(dark, in->width, in->height, c + 12, a, b, cc, -1);
  walkEdge(dark, in->width, in->height, c + 14, a, b, cc, 1);

  // Compared and summed in single precision, as decodeImage does.
  float startEdge = (float)pointDistance(c + 8, c + 10);
  float stopEdge = (float)pointDistance(c + 12, c + 14);
  in->gridHeight = stopEdge >= startEdge ? (int)pointDistance(c + 12, c + 14)
                                         : (int)pointDistance(c + 8, c + 10);
  float top = (float)pointDistance(c + 8, c + 12), bottom = (float)pointDistance(c + 10, c + 14);
  in->provisionalWidth = (int)((top + bottom) * 0.5);
  std::vector<unsigned char> firstGrid((size_t)in->provisionalWidth * in->gridHeight + 1);
  sampleOnto(dark, *in, firstGrid.data(), in->provisionalWidth);
  in->columns = countLightColumnRuns(firstGrid.data(), in->provisionalWidth, in->gridHeight);
  if (in->columns == 0) return (in->problem = "no light column run"), false;
  int columnWidth = in->provisionalWidth / in->columns;
  in->gridWidth = in->columns * 17 * ((columnWidth + 8) / 17);
  return true;
}

// Reading: the final grid, its rows, error correction.
bool readStages(StageInputs* in) {
  int gridWidth = in->gridWidth, gridHeight = in->gridHeight;
  std::vector<unsigned char> grid((size_t)gridWidth * gridHeight + 1);
  sampleOnto(in->gray.data(), *in, grid.data(), gridWidth);
  binarizeImage(grid.data(), gridWidth, gridHeight);
  size_t rowLength = (size_t)gridWidth + 1;
  in->readerRows.assign(rowLength * gridHeight + 2, 0);
  for (int y = 0; y < gridHeight; y++)
    std::memcpy(&in->readerRows[y * rowLength], &grid[(size_t)y * gridWidth], (size_t)gridWidth);

  in->codewords.assign(kCodewordBufferSize, 0);
  RowReaderState reader;
  if (detectBStoCW(in->readerRows.data(), gridWidth + 1, gridHeight, in->codewords.data(), &reader) < 0)
    return (in->problem = "the row reader failed"), false;
  for (int j = 0; j < kCodewordBufferSize; j++)
    if (in->codewords[j] >= -1 && in->codewords[j] <= 928) in->codewordCount++;
  for (int j = 0; j < in->codewordCount; j++)
    if (in->codewords[j] < 0) in->erasureCount++;
  // The stage benchmarks time the clean case: no erasure to hand to rsDecode.
  if (in->erasureCount > 0) return (in->problem = "the clean picture read with erasures"), false;
  in->corrected = in->codewords;
  std::vector<int> erasures(kErasureRoom);
  int n = in->codewordCount;
  if (rsDecode(in->corrected.data(), erasures.data(), 0, n, n - in->codewords[0], 0) < 0)
    return (in->problem = "error correction failed"), false;
  return true;
}

StageInputs makeStageInputs(int index) {
  const BenchPicture& made = benchPicture(index);
  StageInputs in;
  DecodeResult pipeline;
  in.problem = decodeProblem(made, &pipeline);
  if (!in.problem.empty()) return in;
  in.width = made.picture.width;
  in.height = made.picture.height;
  in.gray = made.picture.pixels;
  if (!locateStages(&in) || !readStages(&in)) return in;
  const int* c = in.corners;
  if (c[12] != pipeline.topRightX || c[13] != pipeline.topRightY ||
      c[14] != pipeline.bottomRightX || c[15] != pipeline.bottomRightY)
    in.problem = "the stages walked the edges elsewhere than decodeImage";
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  decodeDataCodewords(in.corrected.data(), in.codewordCount, message.get());
  if (made.text != std::string(message->bytes, (size_t)message->length))
    in.problem = "the stages read a different text";
  return in;
}

// Made once per size for every stage benchmark.
const StageInputs& stageInputs(int index) {
  static StageInputs inputs[kRecipeCount];
  static bool made[kRecipeCount];
  if (!made[index]) {
    inputs[index] = makeStageInputs(index);
    made[index] = true;
  }
  return inputs[index];
}

// The stage inputs of the benchmark's size; null (benchmark skipped) when the
// stages could not be replayed.
const StageInputs* stageInputsFor(benchmark::State& state) {
  const StageInputs& in = stageInputs((int)state.range(0));
  if (!in.problem.empty()) {
    state.SkipWithError(in.problem.c_str());
    return nullptr;
  }
  labelPicture(state, benchPicture((int)state.range(0)).picture);
  return &in;
}

// ---- One benchmark per stage, in decodeImage's order -----------------------

// The copy of the picture is outside the timed part.
void BM_Stage1_BinarizePicture(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  std::vector<unsigned char> pixels(in->gray.size());
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(pixels.data(), in->gray.data(), pixels.size());
    state.ResumeTiming();
    binarizeImage(pixels.data(), in->width, in->height);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_Stage2_FindStartStopUpright(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  StartStopCorners corners;
  for (auto _ : state)
    benchmark::DoNotOptimize(findStartStopUpright(in->binarised.data(), in->width, in->height, &corners));
}

void BM_Stage3_FirstGridAndColumnRuns(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  std::vector<unsigned char> grid((size_t)in->provisionalWidth * in->gridHeight + 1);
  int columns = 0;
  for (auto _ : state) {
    sampleOnto(in->binarised.data(), *in, grid.data(), in->provisionalWidth);
    columns = countLightColumnRuns(grid.data(), in->provisionalWidth, in->gridHeight);
    benchmark::DoNotOptimize(columns);
  }
  if (columns != in->columns) state.SkipWithError("a different column count");
}

void BM_Stage4_FinalGridAndBinarize(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  std::vector<unsigned char> grid((size_t)in->gridWidth * in->gridHeight + 1);
  for (auto _ : state) {
    sampleOnto(in->gray.data(), *in, grid.data(), in->gridWidth);
    binarizeImage(grid.data(), in->gridWidth, in->gridHeight);
    benchmark::DoNotOptimize(grid.data());
  }
}

void BM_Stage5_DetectBStoCW(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  std::vector<int> codewords(kCodewordBufferSize);
  RowReaderState reader;
  for (auto _ : state) {
    detectBStoCW(in->readerRows.data(), in->gridWidth + 1, in->gridHeight, codewords.data(), &reader);
    benchmark::DoNotOptimize(codewords.data());
  }
  state.counters["codewords"] = in->codewordCount;
}

// rsDecode corrects in place, so the timed part also copies the codewords
// (a few kilobytes: well under a microsecond).
void BM_Stage6_RsDecode(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  int n = in->codewordCount, t = n - in->codewords[0];
  std::vector<int> codewords(kCodewordBufferSize);
  std::vector<int> erasures(kErasureRoom);
  for (auto _ : state) {
    std::memcpy(codewords.data(), in->codewords.data(), (size_t)n * sizeof(int));
    benchmark::DoNotOptimize(rsDecode(codewords.data(), erasures.data(), 0, n, t, 0));
  }
  state.counters["codewords"] = n;
  state.counters["check"] = t;
}

// Traced, as decodeImage decodes (no trace sink is set).
void BM_Stage7_DecodeDataCodewords(benchmark::State& state) {
  const StageInputs* in = stageInputsFor(state);
  if (!in) return;
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  std::unique_ptr<TracedText> traced(new TracedText());
  for (auto _ : state)
    benchmark::DoNotOptimize(
        decodeDataCodewords(in->corrected.data(), in->codewordCount, message.get(), traced.get()));
}

#define STAGE_BENCHMARK(name) \
  BENCHMARK(name)->DenseRange(0, kRecipeCount - 1)->Unit(benchmark::kMicrosecond)
STAGE_BENCHMARK(BM_Stage1_BinarizePicture);
STAGE_BENCHMARK(BM_Stage2_FindStartStopUpright);
STAGE_BENCHMARK(BM_Stage3_FirstGridAndColumnRuns);
STAGE_BENCHMARK(BM_Stage4_FinalGridAndBinarize);
STAGE_BENCHMARK(BM_Stage5_DetectBStoCW);
STAGE_BENCHMARK(BM_Stage6_RsDecode);
STAGE_BENCHMARK(BM_Stage7_DecodeDataCodewords);

// ---- Loading a picture file ------------------------------------------------

// Loading alone: reading the file, decoding its format and making the gray
// picture, with the fastest loader there is (straight to gray, as the
// public readFile loads). The picture is named by the environment variable
// PDF417_BENCH_PICTURE.
void BM_LoadPicture(benchmark::State& state) {
  const char* path = std::getenv("PDF417_BENCH_PICTURE");
  if (!path || !*path) return state.SkipWithError("set PDF417_BENCH_PICTURE to a picture file");
  int width = 0, height = 0;
  for (auto _ : state) {
    unsigned char* gray = loadPictureGray(path, &width, &height);
    if (!gray) return state.SkipWithError("the picture could not be read");
    benchmark::DoNotOptimize(gray);
    std::free(gray);
  }
  state.counters["megapixels"] = (double)width * height / 1e6;
}
BENCHMARK(BM_LoadPicture)->Unit(benchmark::kMillisecond);

// The same in colour, as the program loads a picture to draw on it.
void BM_LoadPictureColour(benchmark::State& state) {
  const char* path = std::getenv("PDF417_BENCH_PICTURE");
  if (!path || !*path) return state.SkipWithError("set PDF417_BENCH_PICTURE to a picture file");
  std::vector<unsigned char> bytes = readBytes(path);
  DecodedPicture picture;
  for (auto _ : state) {
    PictureStatus status;
    if (!decodePicture(bytes.data(), bytes.size(), 3, &picture, &status))
      return state.SkipWithError("the picture could not be read");
    benchmark::DoNotOptimize(picture.pixels);
    freeDecodedPicture(&picture);
  }
  state.counters["megapixels"] = (double)picture.width * picture.height / 1e6;
}
BENCHMARK(BM_LoadPictureColour)->Unit(benchmark::kMillisecond);

}  // namespace
