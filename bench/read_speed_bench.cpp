// Time of the public read per picture, next to a baseline reader timed on the
// same gray buffers when one is built in (READ_BASELINE_ZXING): the corpus
// pictures (PDF417_BENCH_CORPUS, default /work/shared/corpus) and generated
// pictures without a symbol, six kinds at three sizes. Each picture is timed
// as the median of five reads in processor time, load excluded. A table with the ratios, their
// geometric mean and the worst picture follows the benchmark output.
//
//   ./read_speed_bench [--benchmark_filter=ours/corpus]
#include <benchmark/benchmark.h>
#include <zint.h>

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/corpus_pictures.h"

#ifdef READ_BASELINE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

using namespace pdf417read::detail;

namespace {

struct Picture {
  std::string name;
  bool hasSymbol = false;
  int width = 0, height = 0;
  std::vector<unsigned char> gray;
};

// ---- pictures without a PDF417 symbol --------------------------------------

Picture blankPicture(const std::string& kind, int width, int height, unsigned char level) {
  Picture picture;
  picture.name = "nosymbol/" + kind + "-" + std::to_string(width) + "x" + std::to_string(height);
  picture.width = width;
  picture.height = height;
  picture.gray.assign((size_t)width * height, level);
  return picture;
}

Picture noise(int width, int height) {
  Picture picture = blankPicture("noise", width, height, 0);
  std::mt19937 random(1);
  for (unsigned char& v : picture.gray) v = (unsigned char)random();
  return picture;
}

Picture gradient(int width, int height) {
  Picture picture = blankPicture("gradient", width, height, 0);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      picture.gray[(size_t)y * width + x] = (unsigned char)(20 + 215.0 * (x + y) / (width + height));
  return picture;
}

// Soft shapes, hard-edged objects, shading and sensor noise: what a camera
// pointed at a desk sees.
Picture photoLike(int width, int height) {
  Picture picture = blankPicture("photo", width, height, 0);
  std::mt19937 random(7);
  std::vector<double> value((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      value[(size_t)y * width + x] = 120 + 60 * std::sin(x * 0.004 + 1) * std::cos(y * 0.006);
  for (int k = 0; k < 40; k++) {
    int cx = random() % width, cy = random() % height, r = 10 + random() % (width / 6);
    double shade = (double)(random() % 200) - 100;
    bool hard = random() % 2;
    for (int y = std::max(0, cy - r); y < std::min(height, cy + r); y++)
      for (int x = std::max(0, cx - r); x < std::min(width, cx + r); x++) {
        double d = std::hypot(x - cx, y - cy) / r;
        if (d >= 1) continue;
        value[(size_t)y * width + x] += hard ? shade : shade * (1 - d);
      }
  }
  std::normal_distribution<double> grain(0, 4);
  for (size_t i = 0; i < value.size(); i++)
    picture.gray[i] = (unsigned char)std::clamp(value[i] + grain(random), 0.0, 255.0);
  return picture;
}

// Lines of word-like dark blocks with letter gaps on white paper.
Picture textPage(int width, int height) {
  Picture picture = blankPicture("text", width, height, 245);
  std::mt19937 random(3);
  int size = std::max(8, width / 80);
  for (int line = size * 3; line + size < height - size * 2; line += size * 2) {
    int x = size * 3;
    while (x < width - size * 4) {
      int letters = 1 + random() % 9;
      for (int l = 0; l < letters && x < width - size * 4; l++) {
        int w = size / 3 + random() % (size / 2 + 1), h = size / 2 + random() % (size / 2);
        for (int y = line + size - h; y < line + size; y++)
          for (int dx = 0; dx < w; dx++)
            if (random() % 5) picture.gray[(size_t)y * width + x + dx] = 30;
        x += w + 1 + random() % 3;
      }
      x += size;
    }
  }
  return picture;
}

// Another symbology drawn by the encoder, scaled up and centred.
Picture otherBarcode(const char* kind, int symbology, int width, int height) {
  Picture picture = blankPicture(kind, width, height, 255);
  zint_symbol* z = ZBarcode_Create();
  z->symbology = symbology;
  const char* data = "Not a PDF417 symbol 0123456789";
  if (ZBarcode_Encode(z, (const unsigned char*)data, 30) < ZINT_ERROR) {
    bool linear = z->rows == 1;
    int scale = std::max(1, std::min(width * 8 / 10 / z->width, height * 8 / 10 / (linear ? 40 : z->rows)));
    int rowHeight = linear ? height / 2 / scale : 1;
    int left = (width - z->width * scale) / 2, top = (height - z->rows * rowHeight * scale) / 2;
    for (int r = 0; r < z->rows; r++)
      for (int c = 0; c < z->width; c++) {
        if (!((z->encoded_data[r][c >> 3] >> (c & 7)) & 1)) continue;
        for (int y = 0; y < rowHeight * scale; y++)
          for (int x = 0; x < scale; x++)
            picture.gray[(size_t)(top + r * rowHeight * scale + y) * width + left + c * scale + x] = 10;
      }
  }
  ZBarcode_Delete(z);
  return picture;
}

std::vector<Picture> noSymbolPictures() {
  std::vector<Picture> pictures;
  const int sizes[3][2] = {{640, 480}, {1280, 720}, {2592, 1944}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    pictures.push_back(noise(w, h));
    pictures.push_back(photoLike(w, h));
    pictures.push_back(textPage(h * 5 / 7, h));
    pictures.push_back(otherBarcode("code128", BARCODE_CODE128, w, h));
    pictures.push_back(otherBarcode("qrcode", BARCODE_QRCODE, w, h));
    pictures.push_back(blankPicture("blank", w, h, 255));
    pictures.push_back(gradient(w, h));
  }
  return pictures;
}

const std::vector<Picture>& pictures() {
  static std::vector<Picture> all;
  static bool made = false;
  if (!made) {
    made = true;
    const char* folder = std::getenv("PDF417_BENCH_CORPUS");
    for (const CorpusPicture& corpus : loadCorpus(folder ? folder : "/work/shared/corpus")) {
      Picture picture;
      picture.name = "corpus/" + corpus.name;
      picture.hasSymbol = true;
      picture.width = corpus.picture.width;
      picture.height = corpus.picture.height;
      picture.gray = corpus.picture.pixels;
      all.push_back(picture);
    }
    std::vector<Picture> others = noSymbolPictures();
    all.insert(all.end(), others.begin(), others.end());
  }
  return all;
}

// ---- the readers ------------------------------------------------------------

int readOurs(const Picture& picture) {
  pdf417read::ImageView view(picture.gray.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  return (int)pdf417read::read(view).symbols.size();
}

#ifdef READ_BASELINE_ZXING
int readBaseline(const Picture& picture) {
  ZXing::ImageView view(picture.gray.data(), picture.width, picture.height, ZXing::ImageFormat::Lum);
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::PDF417);
  return (int)ZXing::ReadBarcodes(view, hints).size();
}
#endif

struct Timing {
  double ours = 0, baseline = 0;
  int oursFound = 0, baselineFound = 0;
};
std::map<std::string, Timing> timings;

// Processor time of the whole process: on a machine shared with other work
// the wall clock also counts the time spent waiting for a processor, which
// says nothing of either reader.
double processSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

double medianSeconds(int (*reader)(const Picture&), const Picture& picture, int* found) {
  std::vector<double> runs;
  for (int i = 0; i < 5; i++) {
    double begin = processSeconds();
    *found = reader(picture);
    runs.push_back(processSeconds() - begin);
  }
  std::sort(runs.begin(), runs.end());
  return runs[2];
}

// Times one reader on one picture; `baseline` says which timing it fills.
void timeReader(benchmark::State& state, const Picture* picture, int (*reader)(const Picture&), bool baseline) {
  for (auto _ : state) {
    Timing& t = timings[picture->name];
    double& seconds = baseline ? t.baseline : t.ours;
    int& found = baseline ? t.baselineFound : t.oursFound;
    seconds = medianSeconds(reader, *picture, &found);
    state.SetIterationTime(seconds);
    state.counters["symbols"] = found;
  }
}

void printSummary() {
  std::printf("\n%-34s %9s %9s %7s %5s %6s\n", "picture", "ours_ms", "base_ms", "ratio", "ours", "base");
  double logSum = 0, worst = 0;
  int counted = 0;
  std::string worstName;
  for (const Picture& picture : pictures()) {
    auto it = timings.find(picture.name);
    if (it == timings.end()) continue;
    const Timing& t = it->second;
    double ratio = t.baseline > 0 ? t.ours / t.baseline : 0;
    std::printf("%-34s %9.2f %9.2f %7.2f %5d %6d\n", picture.name.c_str(), t.ours * 1e3, t.baseline * 1e3, ratio,
                t.oursFound, t.baselineFound);
    if (!picture.hasSymbol || t.baseline <= 0) continue;
    logSum += std::log(ratio);
    counted++;
    if (ratio > worst) worst = ratio, worstName = picture.name;
  }
  if (counted)
    std::printf("corpus: ours / baseline geometric mean %.2f, worst %.2f (%s)\n", std::exp(logSum / counted), worst,
                worstName.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  for (const Picture& picture : pictures()) {
    benchmark::RegisterBenchmark(("ours/" + picture.name).c_str(), timeReader, &picture, readOurs, false)
        ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
#ifdef READ_BASELINE_ZXING
    benchmark::RegisterBenchmark(("baseline/" + picture.name).c_str(), timeReader, &picture, readBaseline, true)
        ->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
#endif
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  printSummary();
  return 0;
}
