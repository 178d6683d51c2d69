// pdf417read: decodes the PDF417 symbols in each picture named on the
// command line and prints their messages, as result lines, as JSON, or
// joined from Macro PDF417 segments.
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

#include "app/annotated_picture.h"
#include "app/document_fields.h"
#include "app/json_output.h"
#include "app/printed_message.h"
#include "app/segment_join.h"

static const char kDefaultPicture[] = "c:\\24.bmp";
static const size_t kMaxStandardInput = (size_t)1 << 30;

static void printUsage(FILE* out) {
  std::fprintf(out,
               "Usage: pdf417read [OPTION...] [PICTURE...]\n"
               "Decodes the PDF417 barcodes in each picture and prints \"Result =MESSAGE\" for each.\n"
               "Pictures: BMP, PNG, JPEG, GIF, TGA, PNM; - reads one from standard input.\n"
               "Without a picture, reads %s.\n"
               "\n"
               "  -q, --quiet          print only the result lines, no decoder trace\n"
               "  -j, --jobs N         decode N pictures at once (default: one per core)\n"
               "      --json           print one JSON object per picture and line instead\n"
               "      --join           join Macro PDF417 segments with the same file id and\n"
               "                       print each whole message once\n"
               "      --fields         after each result line, print what a driver licence or\n"
               "                       ID card (AAMVA), boarding pass (IATA BCBP) or ISO/IEC\n"
               "                       15434 label says: one indented \"name: value\" line per\n"
               "                       field, then its warnings (--json gives \"document\")\n"
               "      --frames         read the pictures in order as frames of one scene (a\n"
               "                       glare moving over a card): each symbol is printed\n"
               "                       once, from the frame it first decodes in\n"
               "      --annotate OUT   write each picture with its symbols outlined and\n"
               "                       numbered to OUT (.png, .jpg, .bmp or .tga; OUT-2.png,\n"
               "                       ... for the next)\n"
               "  -h, --help           show this help and exit\n"
               "  -V, --version        show the version and exit\n"
               "\n"
               "A message with ECIs is printed as UTF-8, one without as its bytes.\n"
               "Short options combine as usual: -qj2 is -q -j 2.\n"
               "Exit status: 0 when every picture decoded (with --frames: when the frames\n"
               "decoded a symbol; with --join, when every message was whole too), 1\n"
               "otherwise, 2 on a usage error.\n",
               kDefaultPicture);
}

enum class OutputMode { Results, Json, Join };

struct Settings {
  bool quiet = false;
  bool json = false, join = false;  // the output modes asked for
  int jobs = 0;  // 0: one per core
  OutputMode mode = OutputMode::Results;
  std::string annotate;  // empty: no annotated pictures
  bool fields = false;   // --fields: a document's summary after its result line
  bool frames = false;   // --frames: the pictures are frames of one scene
  std::vector<std::string> pictures;
  std::vector<unsigned char> standardInput;  // the picture named "-"
};

// What one picture prints: standard output first, then standard error.
struct Outcome {
  std::string out;
  std::string err;
  bool success = false;
  bool done = false;
  std::vector<pdf417read::Symbol> symbols;  // kept for --join
};

static std::vector<unsigned char> fileBytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes;
}

// Reads all of standard input, refusing more than kMaxStandardInput bytes.
static bool readStandardInput(std::vector<unsigned char>* bytes) {
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
    if (bytes->size() + n > kMaxStandardInput) return false;
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  return true;
}

static bool isStandardInput(const std::string& path) { return path == "-"; }

static pdf417read::ReadResult readPicture(const std::string& path, const Settings& settings,
                                          const pdf417read::Options& options) {
  if (!isStandardInput(path)) return pdf417read::readFile(path, options);
  return pdf417read::readMemory(settings.standardInput.data(), settings.standardInput.size(), options);
}

static void annotatePicture(const std::string& path, size_t index, const pdf417read::ReadResult& result,
                            const Settings& settings, Outcome* outcome) {
  if (result.status == pdf417read::Status::NoPicture) return;
  std::string error;
  std::vector<unsigned char> bytes = isStandardInput(path) ? settings.standardInput : fileBytes(path);
  if (!writeAnnotatedPicture(annotationPath(settings.annotate, index), bytes, result.symbols, &error)) {
    outcome->err += "pdf417read: " + path + ": " + error + "\n";
    outcome->success = false;
  }
}

// Result lines (or, for --join, the symbols kept) and the warnings.
static void describeSymbols(const std::string& file, const pdf417read::ReadResult& result,
                            const Settings& settings, Outcome* outcome) {
  for (const pdf417read::Symbol& symbol : result.symbols) {
    // A multi-page file's messages name the page.
    std::string path = symbol.page > 0 ? file + ": page " + std::to_string(symbol.page) : file;
    // The message may hold zero bytes: it is written whole, not as a string.
    if (settings.mode == OutputMode::Results) {
      outcome->out += "Result =" + printedMessage(symbol) + "\n";
      if (settings.fields && symbol.document) outcome->out += documentFieldLines(*symbol.document);
    }
    for (const std::string& warning : symbol.warnings)
      outcome->err += "pdf417read: " + path + ": warning: " + warning + "\n";
    if (!symbol.verified) {
      outcome->err += "pdf417read: " + path + ": warning: error correction failed, the text is unchecked\n";
      outcome->success = false;
    }
  }
  if (settings.mode == OutputMode::Join) outcome->symbols = result.symbols;
}

static Outcome decodePicture(size_t index, const Settings& settings) {
  const std::string& path = settings.pictures[index];
  Outcome outcome;
  pdf417read::Options options;
  // Documents are read only when they are to be printed.
  options.parseDocuments = settings.fields || settings.mode == OutputMode::Json;
  if (!settings.quiet && settings.mode != OutputMode::Json)
    options.trace = [&outcome](const std::string& text) { outcome.out += text; };
  pdf417read::ReadResult result = readPicture(path, settings, options);
  outcome.success = result.status == pdf417read::Status::Decoded && !result.symbols.empty();
  if (settings.mode == OutputMode::Json) {
    outcome.out = jsonLine(path, result);
    for (const pdf417read::Symbol& symbol : result.symbols)
      outcome.success = outcome.success && symbol.verified;
  } else if (!outcome.success) {
    outcome.err = "pdf417read: " + path + ": " + result.error + "\n";
  } else {
    describeSymbols(path, result, settings, &outcome);
  }
  if (!settings.annotate.empty()) annotatePicture(path, index, result, settings, &outcome);
  return outcome;
}

static void emit(const Outcome& outcome) {
  std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
  std::fflush(stdout);
  std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
}

// Prints each whole message and says on standard error what kept the
// others from being joined. True when nothing did.
static bool printJoined(const std::vector<FoundSegment>& segments) {
  JoinResult joined = joinSegments(segments);
  for (const JoinedMessage& message : joined.messages) {
    std::string line = "Result =" + message.message + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  std::fflush(stdout);
  for (const std::string& error : joined.errors) std::fprintf(stderr, "pdf417read: %s\n", error.c_str());
  return joined.errors.empty();
}

// Prints an outcome and keeps what --join needs of it. Symbols without a
// control block are printed as they are.
struct Collector {
  bool allDecoded = true;
  std::vector<FoundSegment> segments;

  void take(const std::string& path, Outcome* outcome) {
    for (pdf417read::Symbol& symbol : outcome->symbols) {
      if (symbol.macro)
        segments.push_back(FoundSegment{path, std::move(symbol)});
      else
        outcome->out += "Result =" + printedMessage(symbol) + "\n";
    }
    emit(*outcome);
    allDecoded = allDecoded && outcome->success;
  }
};

// Decodes the pictures on several threads and prints each outcome in the
// order of the arguments as soon as it and those before it are done.
static void decodeAll(const Settings& settings, Collector* collector) {
  size_t count = settings.pictures.size();
  int jobs = settings.jobs > 0 ? settings.jobs : (int)std::max(1u, std::thread::hardware_concurrency());
  jobs = (int)std::min<size_t>((size_t)jobs, count);
  if (jobs <= 1) {
    for (size_t i = 0; i < count; i++) {
      Outcome outcome = decodePicture(i, settings);
      collector->take(settings.pictures[i], &outcome);
    }
    return;
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
      Outcome outcome = decodePicture(i, settings);
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
    collector->take(settings.pictures[i], &outcome);
  }
  for (std::thread& worker : workers) worker.join();
}

// A frame's pixels pushed to the reader; a frame that is no picture gives
// the reason the library gives for it.
static pdf417read::ReadResult pushFrame(pdf417read::FrameReader* reader, const std::string& path,
                                        const Settings& settings) {
  std::vector<unsigned char> bytes = isStandardInput(path) ? settings.standardInput : fileBytes(path);
  pdf417read::Picture picture;
  if (!pdf417read::loadPicture(bytes.data(), bytes.size(), &picture)) return readPicture(path, settings, {});
  return reader->push(pdf417read::ImageView(picture.rgb.data(), picture.width, picture.height,
                                            pdf417read::PixelFormat::RGB));
}

// What a frame prints: the symbols first decoded in it, as decodePicture
// prints a picture's. A frame that shows nothing new prints nothing (but
// its JSON line); success: it decoded something.
static Outcome decodeFrame(size_t index, pdf417read::FrameReader* reader, std::string* trace,
                           const Settings& settings, bool* picture) {
  const std::string& path = settings.pictures[index];
  Outcome outcome;
  pdf417read::ReadResult result = pushFrame(reader, path, settings);
  *picture = result.status != pdf417read::Status::NoPicture;
  outcome.out = std::move(*trace);
  trace->clear();
  outcome.success = result.status == pdf417read::Status::Decoded && !result.symbols.empty();
  if (settings.mode == OutputMode::Json)
    outcome.out = jsonLine(path, result);
  else if (!*picture)
    outcome.err = "pdf417read: " + path + ": " + result.error + "\n";
  else
    describeSymbols(path, result, settings, &outcome);
  if (!settings.annotate.empty()) annotatePicture(path, index, result, settings, &outcome);
  return outcome;
}

// Reads the pictures in order as frames of one scene. True when some
// symbol was decoded and every frame was a picture.
static bool decodeFrames(const Settings& settings, Collector* collector) {
  pdf417read::Options options;
  options.parseDocuments = settings.fields || settings.mode == OutputMode::Json;
  std::string trace;
  if (!settings.quiet && settings.mode != OutputMode::Json)
    options.trace = [&trace](const std::string& text) { trace += text; };
  pdf417read::FrameReader reader(options);
  bool decoded = false, pictures = true;
  for (size_t i = 0; i < settings.pictures.size(); i++) {
    bool picture = true;
    Outcome outcome = decodeFrame(i, &reader, &trace, settings, &picture);
    decoded = decoded || outcome.success;
    pictures = pictures && picture;
    collector->take(settings.pictures[i], &outcome);
  }
  return decoded && pictures;
}

// A whole number of jobs, 1 to 1024.
static bool parseJobs(const char* text, int* jobs) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < 1 || value > 1024) return false;
  *jobs = (int)value;
  return true;
}

static int usageError(const std::string& message) {
  std::fprintf(stderr, "pdf417read: %s\n", message.c_str());
  printUsage(stderr);
  return 2;
}

static int showHelp() {
  printUsage(stdout);
  return 0;
}

static int showVersion() {
  std::printf("pdf417read %s\n", pdf417read::version());
  return 0;
}

// Reads a number of jobs from value (null: none given) for option.
static int readJobs(const std::string& option, const char* value, Settings* settings) {
  if (!value || !parseJobs(value, &settings->jobs))
    return usageError(option + " needs a number of jobs from 1 to 1024");
  return -1;
}

// The value of the long option at argv[*i], given as --name=VALUE or as the
// next argument (moving *i past it); null when there is none.
static const char* longValue(int argc, char** argv, int* i, const char* name) {
  const char* option = argv[*i];
  size_t length = std::strlen(name);
  if (!std::strncmp(option, name, length) && option[length] == '=') return option + length + 1;
  if (*i + 1 >= argc) return nullptr;
  return argv[++*i];
}

static bool isLongOption(const char* option, const char* name) {
  size_t length = std::strlen(name);
  return !std::strncmp(option, name, length) && (option[length] == '\0' || option[length] == '=');
}

// Reads the long option at argv[*i] (and its value, moving *i past it).
// Returns -1 when it was read, else the exit status to end with.
static int parseLongOption(int argc, char** argv, int* i, Settings* settings) {
  const char* option = argv[*i];
  if (!std::strcmp(option, "--help")) return showHelp();
  if (!std::strcmp(option, "--version")) return showVersion();
  if (!std::strcmp(option, "--quiet")) {
    settings->quiet = true;
  } else if (!std::strcmp(option, "--json")) {
    settings->json = true;
  } else if (!std::strcmp(option, "--fields")) {
    settings->fields = true;
  } else if (!std::strcmp(option, "--join")) {
    settings->join = true;
  } else if (!std::strcmp(option, "--frames")) {
    settings->frames = true;
  } else if (isLongOption(option, "--jobs")) {
    return readJobs("--jobs", longValue(argc, argv, i, "--jobs"), settings);
  } else if (isLongOption(option, "--annotate")) {
    const char* path = longValue(argc, argv, i, "--annotate");
    if (!path || !*path) return usageError("--annotate needs a file to write");
    if (annotationFormat(path) == AnnotationFormat::None)
      return usageError(std::string("--annotate writes ") + kAnnotationFormats + ", not " + path);
    settings->annotate = path;
  } else {
    return usageError(std::string("unknown option ") + option);
  }
  return -1;
}

// Reads the short options at argv[*i], one or several together as getopt
// reads them: -q -j 2, -qj 2, -qj2. A value is the rest of the argument or
// else the next one (moving *i past it). Returns -1 when they were read,
// else the exit status to end with.
static int parseShortOptions(int argc, char** argv, int* i, Settings* settings) {
  for (const char* letter = argv[*i] + 1; *letter; letter++) {
    if (*letter == 'h') return showHelp();
    if (*letter == 'V') return showVersion();
    if (*letter == 'q') {
      settings->quiet = true;
    } else if (*letter == 'j') {
      const char* value = letter[1] ? letter + 1 : *i + 1 < argc ? argv[++*i] : nullptr;
      return readJobs("-j", value, settings);
    } else {
      return usageError(std::string("unknown option -") + *letter);
    }
  }
  return -1;
}

// Returns -1 when the arguments were read, else the exit status to end with.
static int parseArguments(int argc, char** argv, Settings* settings) {
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && argv[i][1]; i++) {
    if (!std::strcmp(argv[i], "--")) {
      i++;
      break;
    }
    int status = argv[i][1] == '-' ? parseLongOption(argc, argv, &i, settings)
                                   : parseShortOptions(argc, argv, &i, settings);
    if (status >= 0) return status;
  }
  // Both would print each result: --json for every picture, --join once for
  // a whole message.
  if (settings->json && settings->join) return usageError("--json and --join cannot be used together");
  settings->mode = settings->json ? OutputMode::Json : settings->join ? OutputMode::Join : OutputMode::Results;
  for (; i < argc; i++) settings->pictures.push_back(argv[i]);
  if (settings->pictures.empty()) settings->pictures.push_back(kDefaultPicture);
  if (std::count_if(settings->pictures.begin(), settings->pictures.end(), isStandardInput) > 1)
    return usageError("standard input (-) can be read only once");
  return -1;
}

int main(int argc, char** argv) {
  Settings settings;
  int status = parseArguments(argc, argv, &settings);
  if (status >= 0) return status;
  bool fromStandardInput = std::any_of(settings.pictures.begin(), settings.pictures.end(), isStandardInput);
  if (fromStandardInput && !readStandardInput(&settings.standardInput)) {
    std::fprintf(stderr, "pdf417read: -: standard input holds more than 1 GiB, too much for a picture\n");
    return 1;
  }
  Collector collector;
  bool decoded;
  if (settings.frames) {
    decoded = decodeFrames(settings, &collector);
  } else {
    decodeAll(settings, &collector);
    decoded = collector.allDecoded;
  }
  bool joined = settings.mode != OutputMode::Join || printJoined(collector.segments);
  return decoded && joined ? 0 : 1;
}
