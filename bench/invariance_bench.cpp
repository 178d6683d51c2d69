// How reading holds up under what cameras and scanners do to a picture: every
// corpus picture (PDF417_BENCH_CORPUS, default /work/shared/corpus) and a
// set of generated symbols that read as they are are turned by quarter turns
// and by angles up to 45 degrees, mirrored, scaled down until modules
// measure about 1.5 and 1.2 pixels, re-encoded as low-quality JPEG, and given
// noise or blur, blur also at modules of 1.5 pixels, inverted (light on
// dark), seen by a camera as a card tilted up to 60 degrees or pulled
// into a keystone, wrapped round a cylinder, faded and put under a shadow
// edge. Each
// transformed picture is read with the public read; the report counts per
// transformation how many still read exactly and verified, lists the ones
// that do not, and counts any wrong text passed as verified.
//
//   ./invariance_bench [--benchmark_filter=jpeg]
//
// With PDF417_INVARIANCE_DUMP set to a folder, every transformed picture that
// does not read is written there as a PNG, for a closer look.
#include <benchmark/benchmark.h>
#include <stb_image_write.h>

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image/gray_conversion.h"
#include "image/picture_reader.h"
#include "support/camera_pictures.h"
#include "support/corpus_pictures.h"
#include "support/picture_variants.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

struct Sample {
  std::string name;
  std::string expected;
  GrayPicture picture;
  double module = 0;  // module width as read, pixels
};

// ---- the samples ------------------------------------------------------------

void generated(std::vector<Sample>* samples) {
  std::mt19937 random(417);
  for (int i = 0; i < 12; i++) {
    Sample sample;
    sample.name = "zint/" + std::to_string(i);
    for (int k = 0, n = 10 + (int)(random() % 120); k < n; k++) sample.expected += (char)(32 + random() % 95);
    SymbolOptions options;
    options.columns = 2 + i % 9;
    options.eccLevel = 2 + i % 4;
    options.compact = i % 4 == 3;
    DrawOptions draw;
    draw.modulePixels = 2 + i % 3;
    draw.rowPixels = draw.modulePixels * 3;
    draw.quietPixels = 4 * draw.modulePixels;
    ModuleMatrix symbol;
    if (!encodeSymbol(sample.expected, options, &symbol)) continue;
    sample.picture = drawSymbol(symbol, draw);
    samples->push_back(sample);
  }
}

// ---- reading -----------------------------------------------------------------

enum Outcome { kRead, kMissed, kWrong };

Outcome readAs(const GrayPicture& picture, const std::string& expected, double* module) {
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  pdf417read::ReadResult result = pdf417read::read(view);
  Outcome outcome = kMissed;
  for (const pdf417read::Symbol& symbol : result.symbols) {
    if (!symbol.verified) continue;
    if (symbol.bytes != expected) return kWrong;
    outcome = kRead;
    if (module && symbol.columns > 0) {
      const pdf417read::Point* c = symbol.corners.data();
      double across = (std::hypot(c[1].x - c[0].x, c[1].y - c[0].y) + std::hypot(c[2].x - c[3].x, c[2].y - c[3].y)) / 2;
      *module = across / (symbol.compact ? 17.0 * (symbol.columns + 2) + 1 : 17.0 * (symbol.columns + 3) + 18);
    }
  }
  return outcome;
}

// ---- transformations -----------------------------------------------------------

GrayPicture quarterTurns(const GrayPicture& p, int turns) {
  int w = 0, h = 0;
  unsigned char* pixels = turnPictureQuarter(p.pixels.data(), p.width, p.height, turns, &w, &h);
  return adoptPicture(pixels, w, h);
}

GrayPicture turned(const GrayPicture& p, double degrees) {
  int w = 0, h = 0;
  unsigned char fill = (unsigned char)lightLevel(p.pixels.data(), p.width, p.height);
  unsigned char* pixels = rotatePicture(p.pixels.data(), p.width, p.height, degrees * M_PI / 180, fill, &w, &h);
  return adoptPicture(pixels, w, h);
}

GrayPicture mirrored(const GrayPicture& p) {
  GrayPicture out = p;
  for (int y = 0; y < p.height; y++)
    std::reverse(out.pixels.begin() + (size_t)y * p.width, out.pixels.begin() + (size_t)(y + 1) * p.width);
  return out;
}

// Area-averaging shrink by any factor below 1: each output pixel is the mean
// of the input area it covers, as a camera's sensor sees it.
GrayPicture scaled(const GrayPicture& p, double factor) {
  GrayPicture out;
  out.width = std::max(1, (int)std::floor(p.width * factor));
  out.height = std::max(1, (int)std::floor(p.height * factor));
  out.pixels.resize((size_t)out.width * out.height);
  double step = 1.0 / factor;
  for (int y = 0; y < out.height; y++)
    for (int x = 0; x < out.width; x++) {
      double x0 = x * step, x1 = x0 + step, y0 = y * step, y1 = y0 + step, sum = 0, area = 0;
      for (int sy = (int)y0; sy < std::min((double)p.height, std::ceil(y1)); sy++)
        for (int sx = (int)x0; sx < std::min((double)p.width, std::ceil(x1)); sx++) {
          double a = (std::min(x1, sx + 1.0) - std::max(x0, (double)sx)) * (std::min(y1, sy + 1.0) - std::max(y0, (double)sy));
          sum += a * p.pixels[(size_t)sy * p.width + sx];
          area += a;
        }
      out.pixels[(size_t)y * out.width + x] = (unsigned char)std::lround(area > 0 ? sum / area : 255);
    }
  return out;
}

void appendBytes(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<unsigned char>*>(context);
  bytes->insert(bytes->end(), (unsigned char*)data, (unsigned char*)data + size);
}

// Encoded as JPEG at `quality` and decoded again by the library's loader.
GrayPicture jpeg(const GrayPicture& p, int quality) {
  std::vector<unsigned char> bytes;
  stbi_write_jpg_to_func(appendBytes, &bytes, p.width, p.height, 1, p.pixels.data(), quality);
  int w = 0, h = 0;
  unsigned char* gray = decodePictureGray(bytes.data(), bytes.size(), &w, &h);
  return adoptPicture(gray, w, h);
}

GrayPicture noisy(const GrayPicture& p, double sigma) {
  GrayPicture out = p;
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0, sigma);
  for (unsigned char& v : out.pixels) v = (unsigned char)std::clamp(v + noise(random), 0.0, 255.0);
  return out;
}

// Gaussian blur of the given radius (sigma), separable.
GrayPicture blurred(const GrayPicture& p, double sigma) {
  int radius = (int)std::ceil(2.5 * sigma);
  std::vector<double> kernel(2 * radius + 1);
  double total = 0;
  for (int k = -radius; k <= radius; k++) total += kernel[k + radius] = std::exp(-k * k / (2 * sigma * sigma));
  std::vector<double> across(p.pixels.size());
  for (int y = 0; y < p.height; y++)
    for (int x = 0; x < p.width; x++) {
      double sum = 0;
      for (int k = -radius; k <= radius; k++)
        sum += kernel[k + radius] * p.pixels[(size_t)y * p.width + std::clamp(x + k, 0, p.width - 1)];
      across[(size_t)y * p.width + x] = sum / total;
    }
  GrayPicture out = p;
  for (int y = 0; y < p.height; y++)
    for (int x = 0; x < p.width; x++) {
      double sum = 0;
      for (int k = -radius; k <= radius; k++)
        sum += kernel[k + radius] * across[(size_t)std::clamp(y + k, 0, p.height - 1) * p.width + x];
      out.pixels[(size_t)y * p.width + x] = (unsigned char)std::lround(sum / total);
    }
  return out;
}

struct Transformation {
  std::string name;
  std::function<GrayPicture(const Sample&)> apply;  // empty picture: not applicable
};

std::vector<Transformation> transformations() {
  std::vector<Transformation> all;
  for (int turns = 1; turns <= 3; turns++)
    all.push_back({"turn " + std::to_string(90 * turns), [turns](const Sample& s) { return quarterTurns(s.picture, turns); }});
  all.push_back({"mirrored", [](const Sample& s) { return mirrored(s.picture); }});
  for (double degrees : {3.0, 8.0, 15.0, 20.0, 25.0, 30.0, 35.0, 40.0, 45.0, -8.0, -20.0, -30.0, -40.0, -45.0})
    all.push_back({"angle " + std::to_string((int)degrees), [degrees](const Sample& s) { return turned(s.picture, degrees); }});
  // The picture as a card turned in front of a pinhole camera (focal length
  // 1.2 picture widths) about its vertical axis, then its horizontal one;
  // and pure keystones, the far side shortened to a share of the near one.
  for (const char* axis : {"yaw", "pitch"})
    for (int degrees = 10; degrees <= 60; degrees += 10)
      all.push_back({std::string(axis) + " " + std::to_string(degrees), [axis, degrees](const Sample& s) {
                       CameraView view;
                       (axis[0] == 'y' ? view.yaw : view.pitch) = degrees;
                       return photographCard(s.picture, view, (unsigned char)lightLevel(s.picture.pixels.data(),
                                                                                       s.picture.width, s.picture.height));
                     }});
  for (double ratio : {0.6, 0.33})
    all.push_back({"keystone " + std::to_string(ratio).substr(0, 4), [ratio](const Sample& s) {
                     return keystoneCard(s.picture, ratio, 1, (unsigned char)lightLevel(s.picture.pixels.data(),
                                                                                      s.picture.width, s.picture.height));
                   }});
  // A label on a bottle: the picture wrapped round a cylinder across its
  // rows or along them, spanning a third of a turn, its edges in shade.
  for (bool alongRows : {false, true})
    all.push_back({std::string("cylinder ") + (alongRows ? "along" : "across"), [alongRows](const Sample& s) {
                     return cylinderCard(s.picture, 120, alongRows,
                                         (unsigned char)lightLevel(s.picture.pixels.data(), s.picture.width,
                                                                   s.picture.height));
                   }});
  // Faded print: 40 gray levels between bar and space; 50, with a hard
  // shadow edge across the middle taking away 40% of the light.
  all.push_back({"faded 40", [](const Sample& s) { return fadedContrast(s.picture, 108, 148); }});
  all.push_back({"faded 50, shadow", [](const Sample& s) {
                   return shadowStep(fadedContrast(s.picture, 100, 150), 0.6, 20);
                 }});
  for (double target : {1.5, 1.2})
    all.push_back({"modules " + std::to_string(target).substr(0, 3) + " px", [target](const Sample& s) {
                     return s.module > target ? scaled(s.picture, target / s.module) : GrayPicture();
                   }});
  for (int quality : {30, 15})
    all.push_back({"jpeg q" + std::to_string(quality), [quality](const Sample& s) { return jpeg(s.picture, quality); }});
  all.push_back({"noise 12", [](const Sample& s) { return noisy(s.picture, 12); }});
  all.push_back({"inverted", [](const Sample& s) { return invertedPicture(s.picture); }});
  all.push_back({"blur 0.8", [](const Sample& s) { return blurred(s.picture, 0.8); }});
  // Small modules under blur: the one-module runs fade at both at once.
  all.push_back({"1.5 px, blur 0.8", [](const Sample& s) {
                   return s.module > 1.5 ? blurred(scaled(s.picture, 1.5 / s.module), 0.8) : GrayPicture();
                 }});
  return all;
}

// A missed picture written to PDF417_INVARIANCE_DUMP/<transformation>-<sample>.png.
void dumpMissed(const std::string& transformation, const std::string& sample, const GrayPicture& picture) {
  const char* folder = std::getenv("PDF417_INVARIANCE_DUMP");
  if (!folder) return;
  std::string name = transformation + "-" + sample;
  for (char& c : name)
    if (c == ' ' || c == '/') c = '_';
  std::string path = std::string(folder) + "/" + name;
  stbi_write_png(path.c_str(), picture.width, picture.height, 1, picture.pixels.data(), picture.width);
}

struct Tally {
  int tried = 0, read = 0, wrong = 0;
  std::vector<std::string> missed;
};
std::map<std::string, Tally> tallies;
std::vector<Sample> samples;

void runTransformation(benchmark::State& state, Transformation transformation) {
  for (auto _ : state) {
    Tally tally;
    for (const Sample& sample : samples) {
      GrayPicture picture = transformation.apply(sample);
      if (picture.pixels.empty()) continue;
      tally.tried++;
      Outcome outcome = readAs(picture, sample.expected, nullptr);
      tally.read += outcome == kRead;
      tally.wrong += outcome == kWrong;
      if (outcome != kRead) {
        tally.missed.push_back(sample.name);
        dumpMissed(transformation.name, sample.name, picture);
      }
    }
    tallies[transformation.name] = tally;
    state.counters["read"] = tally.read;
    state.counters["tried"] = tally.tried;
    state.counters["wrong"] = tally.wrong;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Sample> all;
  const char* folder = std::getenv("PDF417_BENCH_CORPUS");
  for (const CorpusPicture& corpus : loadCorpus(folder ? folder : "/work/shared/corpus"))
    if (!corpus.expected.empty()) all.push_back(Sample{corpus.name, corpus.expected, corpus.picture, 0});
  generated(&all);
  std::sort(all.begin(), all.end(), [](const Sample& a, const Sample& b) { return a.name < b.name; });
  // Only pictures that read as they are take part.
  for (Sample& sample : all)
    if (readAs(sample.picture, sample.expected, &sample.module) == kRead) samples.push_back(sample);
  std::printf("%zu of %zu pictures read as they are\n", samples.size(), all.size());
  for (const Transformation& t : transformations())
    benchmark::RegisterBenchmark(("invariance/" + t.name).c_str(), runTransformation, t)
        ->Iterations(1)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  std::printf("\n%-16s %5s %6s %6s  %s\n", "transformation", "read", "tried", "wrong", "missed");
  for (const Transformation& t : transformations()) {
    auto it = tallies.find(t.name);
    if (it == tallies.end()) continue;
    std::string missed;
    for (const std::string& name : it->second.missed) missed += name + " ";
    std::printf("%-16s %5d %6d %6d  %s\n", t.name.c_str(), it->second.read, it->second.tried, it->second.wrong,
                missed.c_str());
  }
  return 0;
}
