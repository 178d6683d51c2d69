// Many reads at once through the public functions: pictures read on eight
// threads for several rounds give exactly what one thread gives, trace
// included, and nothing reaches standard output; and so do a few hundred
// fuzz inputs, hostile ones among them, on four threads.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/view_input.h"
#include "support/fuzz_seeds.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::PixelFormat;
using pdf417read::ReadResult;

enum { kThreads = 8 };
#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer finds a race from one unordered pair of accesses, and every
// read costs ten times as much under it.
enum { kRounds = 2 };
#else
enum { kRounds = 4 };
#endif
// Photos larger than this would make most of the run time without reaching
// code that smaller ones do not.
enum { kMaxCorpusPixels = 1 << 20 };

// One read to repeat: a file by name, a file's bytes, or pixels in memory.
struct Job {
  std::string name;
  std::string path;
  std::vector<unsigned char> fileBytes;
  std::vector<unsigned char> pixels;
  int width = 0;
  int height = 0;
  PixelFormat format = PixelFormat::Gray;
  int rowStride = 0;
  pdf417read::Options options;
  bool traced = false;
  // For pictures this test made itself: what a read must give.
  bool known = false;
  pdf417read::Status status = pdf417read::Status::Decoded;
  std::string message;
};

struct Outcome {
  ReadResult result;
  std::string trace;
};

Outcome run(const Job& job) {
  Outcome outcome;
  pdf417read::Options options = job.options;
  if (job.traced) options.trace = [&outcome](const std::string& text) { outcome.trace += text; };
  if (!job.path.empty()) {
    outcome.result = pdf417read::readFile(job.path, options);
  } else if (!job.fileBytes.empty()) {
    outcome.result = pdf417read::readMemory(job.fileBytes.data(), job.fileBytes.size(), options);
  } else {
    pdf417read::ImageView view(job.pixels.data(), job.width, job.height, job.format, job.rowStride);
    outcome.result = pdf417read::read(view, options);
  }
  return outcome;
}

bool sameCorners(const pdf417read::Symbol& a, const pdf417read::Symbol& b) {
  for (int i = 0; i < 4; i++)
    if (a.corners[i].x != b.corners[i].x || a.corners[i].y != b.corners[i].y) return false;
  return true;
}

// What differs between a read among others and the same read alone; empty
// when nothing does.
std::string difference(const Outcome& got, const Outcome& alone) {
  const ReadResult& a = got.result;
  const ReadResult& b = alone.result;
  if (a.status != b.status || a.error != b.error) return "status";
  if (a.symbols.size() != b.symbols.size()) return "symbol count";
  for (size_t i = 0; i < a.symbols.size(); i++) {
    const pdf417read::Symbol& s = a.symbols[i];
    const pdf417read::Symbol& t = b.symbols[i];
    if (s.bytes != t.bytes || s.text != t.text) return "message";
    if (s.verified != t.verified || s.ecLevel != t.ecLevel) return "verification";
    if (s.rows != t.rows || s.columns != t.columns || !sameCorners(s, t)) return "geometry";
  }
  if (got.trace != alone.trace) return "trace";
  return "";
}

Job picturedJob(const std::string& message, const GrayPicture& picture) {
  Job job;
  job.name = "drawn " + message.substr(0, 12);
  job.pixels = picture.pixels;
  job.width = picture.width;
  job.height = picture.height;
  job.known = true;
  job.message = message;
  return job;
}

Job drawnSymbol(const std::string& message, int rotation, int modulePixels) {
  Job job = picturedJob(message, messagePicture(message, rotation, modulePixels));
  job.name += " turned " + std::to_string(rotation);
  return job;
}

// An unreadable codeword: error correction fills it in, and the decoder
// traces the erasure.
Job blottedSymbol(const std::string& message) {
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(message, SymbolOptions{}, &symbol));
  blotCodeword(&symbol, 1, 0);
  Job job = picturedJob(message, drawSymbol(symbol, DrawOptions{}));
  job.name += " blotted";
  job.traced = true;
  return job;
}

Job asRgb(Job job) {
  std::vector<unsigned char> rgb;
  for (unsigned char gray : job.pixels) rgb.insert(rgb.end(), 3, gray);
  job.pixels = rgb;
  job.format = PixelFormat::RGB;
  job.name += " as RGB";
  return job;
}

// Symbols drawn here, so that the test needs no picture from outside: every
// compaction mode, a repair that the decoder traces, each quarter turn (all
// but upright and upside down take the second reading path), files and
// memory, and pictures that hold no symbol or are no picture at all.
std::vector<Job> drawnJobs() {
  std::vector<Job> jobs;
  jobs.push_back(drawnSymbol("Thread safety: upright text", 0, 3));
  jobs.push_back(blottedSymbol("Blotted, repaired and traced"));
  jobs.push_back(drawnSymbol("0123456789012345678901234567890123456789", 180, 2));
  jobs.push_back(drawnSymbol("Bytes \x80\x81\x82\x83\x84\x85\x86\x87 and text", 90, 3));
  jobs.push_back(asRgb(drawnSymbol("Mixed Case text, 42 digits: 3141592653589793", 270, 4)));

  Job file = drawnSymbol("Read from a file on disk", 0, 3);
  GrayPicture picture{file.width, file.height, file.pixels};
  std::string png = workPath("drawn.png");
  EXPECT_TRUE(writePicture(picture, png));
  Job memory = file;
  memory.name = "file bytes in memory";
  memory.pixels.clear();
  memory.fileBytes = readBytes(png);
  file.name = "file on disk";
  file.pixels.clear();
  file.path = png;
  jobs.push_back(file);
  jobs.push_back(memory);

  Job blank;
  blank.name = "blank picture";
  blank.width = 320;
  blank.height = 200;
  blank.pixels.assign(320 * 200, 255);
  blank.known = true;
  blank.status = pdf417read::Status::NoSymbol;
  jobs.push_back(blank);
  Job garbage;
  garbage.name = "not a picture";
  garbage.fileBytes.assign(64, 0x5a);
  garbage.known = true;
  garbage.status = pdf417read::Status::NoPicture;
  jobs.push_back(garbage);
  return jobs;
}

// Width times height from a PNG file's header; 0 when it is not one.
long pngPixels(const std::string& path) {
  std::vector<unsigned char> bytes = readBytes(path);
  if (bytes.size() < 24 || bytes[1] != 'P' || bytes[2] != 'N' || bytes[3] != 'G') return 0;
  auto bigEndian = [&](int at) {
    return (long)bytes[at] << 24 | (long)bytes[at + 1] << 16 | (long)bytes[at + 2] << 8 | bytes[at + 3];
  };
  return bigEndian(16) * bigEndian(20);
}

std::vector<Job> corpusJobs() {
  std::vector<Job> jobs;
#ifdef TEST_CORPUS_DIR
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(TEST_CORPUS_DIR, error)) return jobs;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(TEST_CORPUS_DIR, error)) {
    if (entry.path().extension() != ".png" || pngPixels(entry.path()) > kMaxCorpusPixels) continue;
    Job job;
    job.name = entry.path().string();
    job.path = job.name;
    jobs.push_back(job);
  }
  std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.name < b.name; });
#endif
  return jobs;
}

// Sends file descriptor 1 to a file while it lives, so that what anything in
// the process writes to standard output, even past stdio, can be looked at.
class StandardOutputCapture {
 public:
  explicit StandardOutputCapture(const std::string& path) : path_(path) {
    std::fflush(stdout);
    saved_ = dup(1);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file) {
      dup2(fileno(file), 1);
      std::fclose(file);
    }
  }
  ~StandardOutputCapture() { restore(); }
  StandardOutputCapture(const StandardOutputCapture&) = delete;
  StandardOutputCapture& operator=(const StandardOutputCapture&) = delete;

  std::string finish() {
    restore();
    std::vector<unsigned char> bytes = readBytes(path_);
    return std::string(bytes.begin(), bytes.end());
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

// Every job once per round, in an order of its own each round, taken by
// whichever thread is free: different pictures meet on different threads.
std::vector<std::vector<Outcome>> runOnThreads(const std::vector<Job>& jobs, int threadCount, int roundCount) {
  std::vector<std::vector<Outcome>> rounds(roundCount, std::vector<Outcome>(jobs.size()));
  std::vector<size_t> order;
  std::mt19937 random(2026);
  for (int round = 0; round < roundCount; round++) {
    std::vector<size_t> shuffled(jobs.size());
    for (size_t i = 0; i < jobs.size(); i++) shuffled[i] = i;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    order.insert(order.end(), shuffled.begin(), shuffled.end());
  }
  std::atomic<size_t> next{0};
  auto work = [&]() {
    for (size_t k = next++; k < order.size(); k = next++)
      rounds[k / jobs.size()][order[k]] = run(jobs[order[k]]);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < threadCount; t++) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  return rounds;
}

// Mutants of a fuzz input, as the fuzzer makes them: bytes flipped in the
// header, where they change sizes and layouts, or anywhere; cut short; a
// run overwritten.
std::vector<std::vector<unsigned char>> mutants(const std::vector<unsigned char>& bytes, std::mt19937* random) {
  std::vector<std::vector<unsigned char>> out(4, bytes);
  for (int k = 0; k < 3; k++) out[0][(*random)() % std::min<size_t>(bytes.size(), 24)] ^= 1 << ((*random)() % 8);
  for (int k = 0; k < 8; k++) out[1][(*random)() % bytes.size()] = (unsigned char)(*random)();
  out[2].resize(1 + (*random)() % bytes.size());
  size_t from = (*random)() % bytes.size();
  std::fill(out[3].begin() + from, out[3].begin() + std::min(bytes.size(), from + 64), 0xFF);
  return out;
}

// The fuzz seeds of the public readers and committed findings, each with
// its mutants: picture bytes through readMemory, views through read with
// their options. Views larger than a quarter megapixel are left out.
std::vector<Job> fuzzJobs() {
  std::vector<std::vector<unsigned char>> files, views;
  for (const SeedSymbol& seed : seedSymbols()) {
    for (const FuzzSeed& file : pictureFileSeeds(seed)) files.push_back(file.bytes);
    for (const FuzzSeed& view : imageViewSeeds(seed)) views.push_back(view.bytes);
  }
  for (const FuzzSeed& view : refusedViewSeeds()) views.push_back(view.bytes);
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(TEST_DATA_DIR))
    files.push_back(readBytes(entry.path()));
  std::mt19937 random(415);
  std::vector<Job> jobs;
  for (const std::vector<unsigned char>& seed : files) {
    std::vector<std::vector<unsigned char>> inputs = mutants(seed, &random);
    inputs.push_back(seed);
    for (const std::vector<unsigned char>& bytes : inputs) {
      Job job;
      job.name = "picture bytes " + std::to_string(jobs.size());
      job.fileBytes = bytes;
      jobs.push_back(job);
    }
  }
  for (const std::vector<unsigned char>& seed : views) {
    std::vector<std::vector<unsigned char>> inputs = mutants(seed, &random);
    inputs.push_back(seed);
    for (const std::vector<unsigned char>& bytes : inputs) {
      ViewInput input;
      if (!takeViewInput(bytes.data(), bytes.size(), 1 << 20, 1 << 18, &input)) continue;
      Job job;
      job.name = "view " + std::to_string(jobs.size());
      if (input.view.pixels) job.pixels = input.buffer;
      job.width = input.view.width;
      job.height = input.view.height;
      job.format = input.view.format;
      job.rowStride = input.view.rowStrideBytes;
      job.options = input.options;
      jobs.push_back(job);
    }
  }
  return jobs;
}

}  // namespace

TEST(ThreadSafety, FuzzInputsOnFourThreadsReadAsOnOne) {
  std::vector<Job> jobs = fuzzJobs();
  ASSERT_GT(jobs.size(), 200u);
  for (size_t i = 0; i < jobs.size(); i++) jobs[i].traced = i % 3 == 0;
  std::vector<Outcome> alone;
  for (const Job& job : jobs) alone.push_back(run(job));
  std::vector<std::vector<Outcome>> together = runOnThreads(jobs, 4, 1);
  int decoded = 0;
  for (size_t i = 0; i < jobs.size(); i++) {
    decoded += alone[i].result.status == pdf417read::Status::Decoded;
    EXPECT_EQ(difference(together[0][i], alone[i]), "") << jobs[i].name;
  }
  // The seeds themselves hold symbols: the inputs reach the decoder.
  EXPECT_GT(decoded, 20);
}

TEST(ThreadSafety, EightThreadsReadExactlyAsOneDoes) {
  std::vector<Job> jobs = drawnJobs();
  for (Job& job : corpusJobs()) jobs.push_back(std::move(job));
  for (size_t i = 0; i < jobs.size(); i++) jobs[i].traced = jobs[i].traced || i % 2 == 1;

  StandardOutputCapture capture(workPath("stdout"));
  std::vector<Outcome> alone;
  for (const Job& job : jobs) alone.push_back(run(job));
  std::vector<std::vector<Outcome>> together = runOnThreads(jobs, kThreads, kRounds);
  EXPECT_EQ(capture.finish(), "");

  for (size_t i = 0; i < jobs.size(); i++) {
    if (!jobs[i].known) continue;
    const ReadResult& result = alone[i].result;
    EXPECT_EQ(result.status, jobs[i].status) << jobs[i].name;
    if (result.status != pdf417read::Status::Decoded || jobs[i].message.empty()) continue;
    ASSERT_EQ(result.symbols.size(), 1u) << jobs[i].name;
    EXPECT_EQ(result.symbols[0].bytes, jobs[i].message) << jobs[i].name;
    EXPECT_TRUE(result.symbols[0].verified) << jobs[i].name;
  }
  EXPECT_TRUE(std::any_of(alone.begin(), alone.end(), [](const Outcome& o) { return !o.trace.empty(); }))
      << "no read traced anything: the traces are not compared";
  for (int round = 0; round < kRounds; round++)
    for (size_t i = 0; i < jobs.size(); i++)
      EXPECT_EQ(difference(together[round][i], alone[i]), "") << jobs[i].name << ", round " << round;
}
