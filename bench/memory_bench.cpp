// Peak memory of reading 1, 4 and 16 megapixel pictures, with a symbol and
// without (noise, a photo-like scene): through the program (its whole peak
// resident size, with -q and with its trace), and in-process through read on
// a gray view and readFile (what the call adds to the resident size). Each
// measurement runs in a child process of its own, so none inherits another's
// peak. The aim: no more than four times the gray picture plus 64 MiB.
// The pictures wait in files, not in this process: a child starts with as
// much resident as its parent holds, and the program's peak would count it.
//
//   ./memory_bench [--benchmark_filter=16MP]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

const double kMiB = 1024.0 * 1024.0;

struct Page {
  std::string name;
  int width = 0, height = 0;
  std::string gray, png, jpg;  // files: the gray pixels as they are, and pictures
};

// A symbol of a few hundred bytes scaled to a fifth of the page's width, on
// slightly uneven paper.
GrayPicture symbolPage(int width, int height) {
  GrayPicture page = blankPicture(width, height, 235);
  std::mt19937 random(5);
  for (unsigned char& v : page.pixels) v = (unsigned char)(225 + random() % 21);
  ModuleMatrix symbol;
  std::string message;
  for (int i = 0; i < 12; i++) message += "Memory benchmark line " + std::to_string(i) + ". ";
  encodeSymbol(message, SymbolOptions{}, &symbol);
  DrawOptions draw;
  draw.modulePixels = std::max(2, width / 5 / symbol.width);
  draw.rowPixels = draw.modulePixels * 3;
  GrayPicture drawn = drawSymbol(symbol, draw);
  pastePicture(&page, drawn, (width - drawn.width) / 2, (height - drawn.height) / 2);
  return page;
}

GrayPicture noisePage(int width, int height) {
  GrayPicture page = blankPicture(width, height, 0);
  std::mt19937 random(1);
  for (unsigned char& v : page.pixels) v = (unsigned char)random();
  return page;
}

// Lit unevenly, with overlapping dark and light boxes (edges everywhere a
// symbol search looks) and sensor grain.
GrayPicture photoPage(int width, int height) {
  GrayPicture page = blankPicture(width, height, 0);
  std::vector<short> value((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++)
      value[(size_t)y * width + x] = (short)(110 + 70 * std::sin(3.0 * x / width) * std::cos(2.0 * y / height));
  std::mt19937 random(9);
  for (int k = 0; k < 60; k++) {
    int w = 4 + random() % (width / 5), h = 4 + random() % (height / 5);
    int left = random() % (width - w), top = random() % (height - h);
    int shade = (int)(random() % 120) - 60;
    for (int y = top; y < top + h; y++)
      for (int x = left; x < left + w; x++) value[(size_t)y * width + x] += shade;
  }
  for (size_t i = 0; i < value.size(); i++)
    page.pixels[i] = (unsigned char)std::clamp(value[i] + (int)(random() % 9) - 4, 0, 255);
  return page;
}

const std::vector<Page>& pages() {
  static std::vector<Page> all;
  if (!all.empty()) return all;
  const int sizes[][2] = {{1152, 864}, {2304, 1728}, {4608, 3456}};
  const char* megapixels[] = {"1MP", "4MP", "16MP"};
  for (int s = 0; s < 3; s++) {
    int width = sizes[s][0], height = sizes[s][1];
    for (const char* kind : {"symbol", "noise", "photo"}) {
      Page page;
      page.name = std::string(megapixels[s]) + "/" + kind;
      page.width = width;
      page.height = height;
      GrayPicture gray = kind[0] == 's' ? symbolPage(width, height)
                         : kind[0] == 'n' ? noisePage(width, height)
                                          : photoPage(width, height);
      std::string base = workPath(std::string(megapixels[s]) + "-" + kind);
      page.gray = base + ".gray";
      page.png = base + ".png";
      page.jpg = base + ".jpg";
      writeBytes(page.gray, gray.pixels);
      // Colour files, as cameras and scanners write them.
      writePicture(gray, page.png);
      writePicture(gray, page.jpg, false, 90);
      all.push_back(std::move(page));
    }
  }
  // Freed, but still resident until given back.
  malloc_trim(0);
  return all;
}

long kibFromStatus(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  long value = -1;
  size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status))
    if (std::strncmp(line, field, length) == 0) value = std::atol(line + length + 1);
  std::fclose(status);
  return value;
}

// What a call adds to the peak resident size, in KiB, run in a child after
// prepare, with its peak reset to what it holds then.
long addedPeakKiB(const std::function<void()>& prepare, const std::function<void()>& call) {
  int channel[2];
  if (pipe(channel) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    close(channel[0]);
    prepare();
    // Memory freed before the call would otherwise serve it without a
    // page of it counted.
    malloc_trim(0);
    int clear = open("/proc/self/clear_refs", O_WRONLY);
    if (clear >= 0 && write(clear, "5", 1) == 1) {
      long before = kibFromStatus("VmRSS:");
      call();
      long added = kibFromStatus("VmHWM:") - before;
      if (write(channel[1], &added, sizeof added) != sizeof added) _exit(1);
    }
    _exit(0);
  }
  close(channel[1]);
  long added = -1;
  if (child < 0 || read(channel[0], &added, sizeof added) != sizeof added) added = -1;
  close(channel[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return added;
}

// The program's peak resident size, in KiB.
long programPeakKiB(const std::vector<std::string>& args) {
  pid_t child = fork();
  if (child == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv = {const_cast<char*>(PDF417READ_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(PDF417READ_BINARY, argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
  return usage.ru_maxrss;
}

struct Row {
  std::string name;
  double peakMiB, aimMiB;
};
std::vector<Row> rows;

void report(benchmark::State& state, const std::string& name, const Page& page, long peakKiB) {
  double grayMiB = (double)page.width * page.height / kMiB;
  double peakMiB = peakKiB / 1024.0;
  double aimMiB = 4 * grayMiB + 64;
  state.counters["gray_MiB"] = grayMiB;
  state.counters["peak_MiB"] = peakMiB;
  state.counters["aim_MiB"] = aimMiB;
  rows.push_back({name, peakMiB, aimMiB});
}

void programRun(benchmark::State& state, std::string name, const Page* page, bool quiet, bool jpeg) {
  for (auto _ : state) {
    std::vector<std::string> args;
    if (quiet) args.push_back("-q");
    args.push_back(jpeg ? page->jpg : page->png);
    report(state, name, *page, programPeakKiB(args));
  }
}

void readView(benchmark::State& state, std::string name, const Page* page) {
  for (auto _ : state) {
    std::vector<unsigned char> gray;
    report(state, name, *page, addedPeakKiB([&]() { gray = readBytes(page->gray); }, [&]() {
             pdf417read::read(pdf417read::ImageView(gray.data(), page->width, page->height,
                                                    pdf417read::PixelFormat::Gray));
           }));
  }
}

void readFile(benchmark::State& state, std::string name, const Page* page, bool jpeg) {
  for (auto _ : state)
    report(state, name, *page, addedPeakKiB([]() {}, [&]() { pdf417read::readFile(jpeg ? page->jpg : page->png); }));
}

void printSummary() {
  std::printf("\n%-40s %9s %9s %6s\n", "measurement", "peak_MiB", "aim_MiB", "within");
  for (const Row& row : rows)
    std::printf("%-40s %9.1f %9.1f %6s\n", row.name.c_str(), row.peakMiB, row.aimMiB,
                row.peakMiB <= row.aimMiB ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
  for (const Page& page : pages()) {
    auto add = [](const std::string& name, auto function, auto... args) {
      benchmark::RegisterBenchmark(name.c_str(), function, name, args...)->Iterations(1)->Unit(benchmark::kMillisecond);
    };
    add("program-q/png/" + page.name, programRun, &page, true, false);
    add("program/png/" + page.name, programRun, &page, false, false);
    add("program-q/jpg/" + page.name, programRun, &page, true, true);
    add("read/gray/" + page.name, readView, &page);
    add("readFile/png/" + page.name, readFile, &page, false);
    add("readFile/jpg/" + page.name, readFile, &page, true);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  printSummary();
  return 0;
}
