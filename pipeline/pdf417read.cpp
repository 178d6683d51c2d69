// The public entry points: pictures in, symbols out, as plain values.
#include <pdf417read/pdf417read.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "highlevel/eci_text.h"
#include "highlevel/data_decoder.h"
#include "image/gray_conversion.h"
#include "image/picture_reader.h"
#include "pipeline/exact_reading.h"
#include "pipeline/frame_reading.h"
#include "pipeline/public_symbol.h"
#include "pipeline/reading_order.h"
#include "pipeline/symbol_scan.h"
#include "runtime/trace.h"

#ifndef PDF417READ_VERSION
#define PDF417READ_VERSION "unknown"
#endif

namespace pdf417read {

using namespace detail;

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using OwnedGrayPixels = std::unique_ptr<unsigned char, FreeDeleter>;

// Hands the decoder's trace to the caller's function while a read runs on
// this thread, and puts the thread's previous sink back afterwards.
class TraceScope {
 public:
  explicit TraceScope(const std::function<void(const std::string&)>& trace) {
    TraceSink sink = {nullptr, nullptr};
    if (trace) sink = {forward, const_cast<std::function<void(const std::string&)>*>(&trace)};
    previous_ = setTraceSink(sink);
  }
  ~TraceScope() { setTraceSink(previous_); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  static void forward(void* trace, const char* text, size_t length) {
    (*static_cast<std::function<void(const std::string&)>*>(trace))(std::string(text, length));
  }
  TraceSink previous_;
};

ReadResult failure(Status status, const char* error) {
  ReadResult result;
  result.status = status;
  result.error = error;
  return result;
}

const char* failureText(int failure) {
  switch (failure) {
    case kDecodeNoPicture: return "cannot read the picture";
    case kDecodeNoSymbol: return "no PDF417 symbol found";
    default: return "PDF417 symbol found but not decoded";
  }
}

Status statusOf(int failure) {
  switch (failure) {
    case kDecodeOk: return Status::Decoded;
    case kDecodeNoPicture: return Status::NoPicture;
    case kDecodeNoSymbol: return Status::NoSymbol;
    default: return Status::NotDecoded;
  }
}

int effortOf(Effort effort) {
  switch (effort) {
    case Effort::Fast: return kEffortFast;
    case Effort::Hard: return kEffortHard;
    default: return kEffortNormal;
  }
}

struct FreeReadings {
  void operator()(SymbolReading* p) const { std::free(p); }
};
using Readings = std::unique_ptr<SymbolReading, FreeReadings>;

// The symbols of the readings in reading order. A reading whose codewords
// hold no valid message is left out; with none left the picture is "not
// decoded".
ReadResult resultOf(SymbolReading* readings, int count, const Options& options) {
  sortInReadingOrder(readings, count);
  ReadResult result;
  for (int i = 0; i < count; i++) {
    std::optional<Symbol> symbol = symbolOf(readings[i], options);
    if (symbol) result.symbols.push_back(std::move(*symbol));
  }
  if (result.symbols.empty()) return failure(Status::NotDecoded, failureText(kDecodeNotDecoded));
  result.status = Status::Decoded;
  return result;
}

// A picture where nothing was decoded: "not decoded" when a symbol was
// found, that is when the scan traced a start or stop pattern down several
// lines of the picture (ScanStats::trails), else "no symbol".
ReadResult nothingDecoded(const ScanStats& stats) {
  int kind = stats.trails > 0 ? kDecodeNotDecoded : kDecodeNoSymbol;
  return failure(statusOf(kind), failureText(kind));
}

// Only the exact path: its reading, or its own failure.
ReadResult readExactOnly(const unsigned char* gray, int width, int height, SymbolReading* exact,
                         const Options& options) {
  int outcome = readSymbolExact(gray, width, height, exact);
  if (outcome != kDecodeOk) return failure(statusOf(outcome), failureText(outcome));
  return resultOf(exact, 1, options);
}

// A frame of a scene: the symbols it shows that were not returned before,
// and those it completes with the frames before it. Only confirmed ones.
ReadResult frameResult(SymbolTracks* frames, SymbolReading* readings, int count, const SymbolReading* exact,
                       int capacity, const ScanStats& stats, const Options& options) {
  // An exact reading whose codewords fill its layout can be followed.
  if (exact && exact->verified && exact->codewordCount == exact->rows * exact->columns && count < capacity)
    readings[count++] = *exact;
  int found = count;
  count = followFrame(frames, readings, count, capacity);
  if (count > 0) return resultOf(readings, count, options);
  if (found > 0 || onlyReturnedSeen(frames))
    return failure(Status::NotDecoded, "the symbols seen were returned before");
  return nothingDecoded(stats);
}

// The scan reads every symbol it can verify; only when it verified none,
// and paired a start and a stop pattern as an upright or upside-down symbol
// shows them, is the exact path's reading returned, verified only when its
// correction had checks to spare. A watched trace changes none of this:
// the exact path then runs first for the trace it prints, and its reading
// is still taken only as it would be without the trace. With `frames`, the
// picture is the next frame of a scene (see frameResult).
ReadResult readGray(const unsigned char* gray, int width, int height, const Options& options,
                    SymbolTracks* frames = nullptr) {
  TraceScope traceScope(options.trace);
  int limit = options.maxSymbols > 0 && options.maxSymbols < kMaxSymbolsPerPicture ? options.maxSymbols
                                                                                   : kMaxSymbolsPerPicture;
  Readings readings((SymbolReading*)std::malloc(sizeof(SymbolReading) * (size_t)limit));
  Readings exact((SymbolReading*)std::malloc(sizeof(SymbolReading)));
  if (!readings || !exact) return failure(Status::NotDecoded, "out of memory");
  if (options.exactOnly && !frames) return readExactOnly(gray, width, height, exact.get(), options);
  bool traced = (bool)options.trace;
  int exactOutcome = traced ? readSymbolExact(gray, width, height, exact.get()) : kDecodeNoSymbol;
  GridObserver observer = {noteSighting, frames};
  ScanRequest request = {effortOf(options.effort), limit, frames ? &observer : nullptr};
  if (frames) beginFrame(frames);
  ScanStats stats;
  int count = readSymbolsByScan(gray, width, height, request, readings.get(), limit, &stats);
  // The exact pipeline decodes its message as it reads; the second path's
  // readings are decoded here, once each.
  SymbolReading* all = readings.get();
  for (int i = 0; i < count; i++) decodeDataCodewords(all[i].codewords, all[i].codewordCount, &all[i].message);
  bool exactRead = false;
  if (count == 0 && stats.rowPairs > 0) {
    if (!traced) exactOutcome = readSymbolExact(gray, width, height, exact.get());
    exactRead = exactOutcome == kDecodeOk;
    if (exactRead) exact->verified = exactReadingTrusted(*exact);
  }
  if (frames) return frameResult(frames, all, count, exactRead ? exact.get() : nullptr, limit, stats, options);
  if (count > 0) return resultOf(readings.get(), count, options);
  if (!exactRead) return nothingDecoded(stats);
  return resultOf(exact.get(), 1, options);
}

// The text of a picture file's status, one for every place that shows it.
std::string pictureErrorText(const PictureStatus& status) {
  char text[160];
  describePictureStatus(status, text, sizeof text);
  return text;
}

// Reads each page of a picture file as it is decoded, into one result.
struct PageReading {
  const Options* options;
  ReadResult result;
  int pages = 0;  // pages read so far
};

// A page's result joins the file's: its symbols, named by page when the
// file holds several, and the best failure while none decoded ("not
// decoded" before "no symbol").
void joinPage(ReadResult* file, ReadResult page, int index, int count, bool first) {
  for (Symbol& symbol : page.symbols) {
    symbol.page = count > 1 ? index + 1 : 0;
    file->symbols.push_back(std::move(symbol));
  }
  if (!file->symbols.empty()) {
    file->status = Status::Decoded;
    file->error.clear();
  } else if (first || (int)page.status > (int)file->status) {
    bool named = count > 1 && page.status != Status::NoSymbol;
    file->status = page.status;
    file->error = named ? "page " + std::to_string(index + 1) + ": " + page.error : page.error;
  }
}

// Reads a page and joins its result to the file's. The reading stops once
// the file holds as many symbols as asked for.
bool readPage(void* context, DecodedPicture* page, int index, int count) {
  PageReading* reading = static_cast<PageReading*>(context);
  const Options& options = *reading->options;
  ReadResult& file = reading->result;
  // No exception may leave through the picture reader, which holds the
  // file's decoder open.
  try {
    joinPage(&file, readGray(page->pixels, page->width, page->height, options), index, count, reading->pages == 0);
  } catch (const std::bad_alloc&) {
    joinPage(&file, failure(Status::NotDecoded, "out of memory"), index, count, reading->pages == 0);
  }
  reading->pages++;
  if (options.maxSymbols <= 0 || (int)file.symbols.size() < options.maxSymbols) return true;
  file.symbols.resize((size_t)options.maxSymbols);
  return false;
}

// The result of reading a picture file's pages. A page that cannot be read
// ends the reading: the file has no picture when it was the first, and
// otherwise the pages before it stand, the error naming the page.
ReadResult readPages(bool read, const PictureStatus& status, PageReading* reading) {
  ReadResult& result = reading->result;
  if (read || result.status == Status::Decoded) return std::move(result);
  if (reading->pages == 0) return failure(Status::NoPicture, pictureErrorText(status).c_str());
  result.error += "; page " + std::to_string(reading->pages + 1) + ": " + pictureErrorText(status);
  return std::move(result);
}

// Where red, green, blue and alpha sit in a pixel (-1: no alpha).
struct Layout {
  int red, green, blue, alpha;
};

Layout layoutOf(PixelFormat format) {
  switch (format) {
    case PixelFormat::RGB: return {0, 1, 2, -1};
    case PixelFormat::BGR: return {2, 1, 0, -1};
    case PixelFormat::RGBA: return {0, 1, 2, 3};
    case PixelFormat::BGRA: return {2, 1, 0, 3};
    default: return {0, 0, 0, -1};
  }
}

}  // namespace

int bytesPerPixel(PixelFormat format) {
  switch (format) {
    case PixelFormat::Gray: return 1;
    case PixelFormat::RGB:
    case PixelFormat::BGR: return 3;
    case PixelFormat::RGBA:
    case PixelFormat::BGRA: return 4;
  }
  return 0;
}

const char* statusName(Status status) {
  switch (status) {
    case Status::Decoded: return "decoded";
    case Status::NoPicture: return "no picture";
    case Status::NoSymbol: return "no symbol";
    case Status::NotDecoded: return "not decoded";
  }
  return "unknown";
}

static_assert(kMaxImageSide == kMaxPictureSide && kMaxImagePixels == kMaxPicturePixels,
              "the public limits are the picture reader's");

namespace {

// Reads a picture in the caller's memory; with `frames`, as the next frame
// of a scene.
ReadResult readView(const ImageView& image, const Options& options, SymbolTracks* frames) {
  try {
    int pixelBytes = bytesPerPixel(image.format);
    if (!image.pixels) return failure(Status::NoPicture, "image view: no pixels");
    if (pixelBytes == 0) return failure(Status::NoPicture, "image view: unknown pixel format");
    if (image.width < 1 || image.height < 1)
      return failure(Status::NoPicture, "image view: width and height must be at least 1");
    if (image.width > kMaxPictureSide || image.height > kMaxPictureSide ||
        (long long)image.width * image.height > kMaxPicturePixels)
      return failure(Status::NoPicture, "image view: picture too large");
    long long rowBytes = (long long)image.width * pixelBytes;
    long long stride = image.rowStrideBytes == 0 ? rowBytes : image.rowStrideBytes;
    if (stride < rowBytes) return failure(Status::NoPicture, "image view: row stride shorter than a row");
    // Gray rows that follow each other are read where they are: reading
    // leaves the picture unchanged.
    if (image.format == PixelFormat::Gray && stride == rowBytes)
      return readGray(static_cast<const unsigned char*>(image.pixels), image.width, image.height, options, frames);
    Layout layout = layoutOf(image.format);
    OwnedGrayPixels gray(pixelsToGray(image.pixels, image.width, image.height, stride, pixelBytes, layout.red,
                                  layout.green, layout.blue, layout.alpha));
    if (!gray) return failure(Status::NotDecoded, "out of memory");
    return readGray(gray.get(), image.width, image.height, options, frames);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

}  // namespace

ReadResult read(const ImageView& image, const Options& options) { return readView(image, options, nullptr); }

struct FrameReader::State {
  Options options;
  std::unique_ptr<SymbolTracks> tracks;

  explicit State(const Options& options) : options(options), tracks(new SymbolTracks) { clearTracks(tracks.get()); }
  State(const State& other) : options(other.options), tracks(new SymbolTracks(*other.tracks)) {}
};

FrameReader::FrameReader(const Options& options) : state_(new State(options)) {}
FrameReader::FrameReader(const FrameReader& other) : state_(other.state_ ? new State(*other.state_) : nullptr) {}
FrameReader& FrameReader::operator=(const FrameReader& other) {
  if (this != &other) state_.reset(other.state_ ? new State(*other.state_) : nullptr);
  return *this;
}
FrameReader::FrameReader(FrameReader&& other) noexcept = default;
FrameReader& FrameReader::operator=(FrameReader&& other) noexcept = default;
FrameReader::~FrameReader() = default;

ReadResult FrameReader::push(const ImageView& frame) {
  try {
    if (!state_) state_.reset(new State(Options()));
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
  return readView(frame, state_->options, state_->tracks.get());
}

void FrameReader::reset() {
  if (state_) clearTracks(state_->tracks.get());
}

ReadResult readFile(const std::string& path, const Options& options) {
  try {
    PageReading reading{&options, {}, 0};
    PictureStatus status;
    bool read = readPictureFilePages(path.c_str(), 1, {readPage, &reading}, &status);
    return readPages(read, status, &reading);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

ReadResult readMemory(const void* bytes, size_t size, const Options& options) {
  try {
    PageReading reading{&options, {}, 0};
    PictureStatus status;
    bool read = readPicturePages(static_cast<const unsigned char*>(bytes), size, 1, {readPage, &reading}, &status);
    return readPages(read, status, &reading);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

const char* eciCharset(int eci) { return eciCharsetName(eci); }

bool loadPicture(const void* bytes, size_t size, Picture* picture) {
  DecodedPicture rgb;
  PictureStatus status;
  if (!decodePicture(static_cast<const unsigned char*>(bytes), size, 3, &rgb, &status)) return false;
  try {
    picture->rgb.assign(rgb.pixels, rgb.pixels + (size_t)rgb.width * rgb.height * 3);
    picture->width = rgb.width;
    picture->height = rgb.height;
  } catch (const std::bad_alloc&) {
    freeDecodedPicture(&rgb);
    return false;
  }
  freeDecodedPicture(&rgb);
  return true;
}

const char* version() { return PDF417READ_VERSION; }

}  // namespace pdf417read
