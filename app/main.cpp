// pdf417read: decodes the PDF417 symbol in each picture named on the command
// line and prints its text.
#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

static const char kDefaultPicture[] = "c:\\24.bmp";

static void printUsage(FILE* out) {
  std::fprintf(out,
               "Usage: pdf417read [OPTION...] [PICTURE...]\n"
               "Decodes the PDF417 barcode in each picture and prints \"Result =TEXT\".\n"
               "Pictures: BMP, PNG, JPEG, GIF, TGA, PNM. Without a picture, reads %s.\n"
               "\n"
               "  -q, --quiet    print only the result lines, no decoder trace\n"
               "  -j, --jobs N   decode N pictures at once (default: one per core)\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n"
               "\n"
               "Exit status: 0 when every picture decoded, 1 otherwise, 2 on a usage error.\n",
               kDefaultPicture);
}

struct Settings {
  bool quiet = false;
  int jobs = 0;  // 0: one per core
  std::vector<std::string> pictures;
};

// What one picture prints: standard output first, then standard error.
struct Outcome {
  std::string out;
  std::string err;
  bool success = false;
  bool done = false;
};

static Outcome decodePicture(const std::string& path, const Settings& settings) {
  Outcome outcome;
  pdf417read::Options options;
  if (!settings.quiet) options.trace = [&outcome](const std::string& text) { outcome.out += text; };
  pdf417read::ReadResult result = pdf417read::readFile(path, options);
  if (result.status != pdf417read::Status::Decoded || result.symbols.empty()) {
    outcome.err = "pdf417read: " + path + ": " + result.error + "\n";
    return outcome;
  }
  outcome.success = true;
  for (const pdf417read::Symbol& symbol : result.symbols) {
    // The text may hold zero bytes: it is written whole, not as a string.
    outcome.out += "Result =" + symbol.bytes + "\n";
    if (!symbol.verified) {
      outcome.err += "pdf417read: " + path + ": warning: error correction failed, the text is unchecked\n";
      outcome.success = false;
    }
  }
  return outcome;
}

static void emit(const Outcome& outcome) {
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
}

// Decodes the pictures on several threads and prints each outcome in the
// order of the arguments as soon as it and those before it are done.
static bool decodeAll(const Settings& settings) {
  size_t count = settings.pictures.size();
  int jobs = settings.jobs > 0 ? settings.jobs : (int)std::max(1u, std::thread::hardware_concurrency());
  jobs = (int)std::min<size_t>((size_t)jobs, count);
  bool allDecoded = true;
  if (jobs <= 1) {
    for (const std::string& path : settings.pictures) {
      Outcome outcome = decodePicture(path, settings);
      emit(outcome);
      allDecoded = allDecoded && outcome.success;
    }
    return allDecoded;
  }
  std::vector<Outcome> outcomes(count);
  std::mutex lock;
  std::condition_variable finished;
  size_t next = 0;
  auto work = [&]() {
    for (;;) {
      size_t i;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (next == count) return;
        i = next++;
      }
      Outcome outcome = decodePicture(settings.pictures[i], settings);
      outcome.done = true;
      std::lock_guard<std::mutex> guard(lock);
      outcomes[i] = std::move(outcome);
      finished.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (int j = 0; j < jobs; j++) workers.emplace_back(work);
  for (size_t i = 0; i < count; i++) {
    std::unique_lock<std::mutex> guard(lock);
    finished.wait(guard, [&] { return outcomes[i].done; });
    Outcome outcome = std::move(outcomes[i]);
    guard.unlock();
    emit(outcome);
    allDecoded = allDecoded && outcome.success;
  }
  for (std::thread& worker : workers) worker.join();
  return allDecoded;
}

// A whole number of jobs, 1 to 1024.
static bool parseJobs(const char* text, int* jobs) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < 1 || value > 1024) return false;
  *jobs = (int)value;
  return true;
}

// Returns -1 when the options were read, else the exit status to end with.
static int parseArguments(int argc, char** argv, Settings* settings) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1]; i++) {
    const char* option = argv[i];
    if (!std::strcmp(option, "--")) {
      i++;
      break;
    }
    if (!std::strcmp(option, "-h") || !std::strcmp(option, "--help")) {
      printUsage(stdout);
      return 0;
    }
    if (!std::strcmp(option, "-V") || !std::strcmp(option, "--version")) {
      std::printf("pdf417read %s\n", pdf417read::version());
      return 0;
    }
    if (!std::strcmp(option, "-q") || !std::strcmp(option, "--quiet")) {
      settings->quiet = true;
      continue;
    }
    if (!std::strcmp(option, "-j") || !std::strcmp(option, "--jobs")) {
      if (i + 1 < argc && parseJobs(argv[i + 1], &settings->jobs)) {
        i++;
        continue;
      }
      std::fprintf(stderr, "pdf417read: %s needs a number of jobs from 1 to 1024\n", option);
      printUsage(stderr);
      return 2;
    }
    if (!std::strncmp(option, "--jobs=", 7) && parseJobs(option + 7, &settings->jobs)) continue;
    std::fprintf(stderr, "pdf417read: unknown option %s\n", option);
    printUsage(stderr);
    return 2;
  }
  for (; i < argc; i++) settings->pictures.push_back(argv[i]);
  if (settings->pictures.empty()) settings->pictures.push_back(kDefaultPicture);
  return -1;
}

int main(int argc, char** argv) {
  Settings settings;
  int status = parseArguments(argc, argv, &settings);
  if (status >= 0) return status;
  return decodeAll(settings) ? 0 : 1;
}
