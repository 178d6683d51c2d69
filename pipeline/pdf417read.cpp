// The public entry points: pictures in, symbols out, as plain values.
#include <pdf417read/pdf417read.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "highlevel/message_decoder.h"
#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"
#include "pipeline/robust_decode.h"
#include "runtime/trace.h"

#ifndef PDF417READ_VERSION
#define PDF417READ_VERSION "unknown"
#endif

namespace pdf417read {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using GreyPicture = std::unique_ptr<unsigned char, FreeDeleter>;

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

// Every byte as the Unicode character of the same number.
std::string latin1ToUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      text += (char)c;
    } else {
      text += (char)(0xC0 | (c >> 6));
      text += (char)(0x80 | (c & 0x3F));
    }
  }
  return text;
}

Symbol symbolOf(const SymbolReading& reading, const DecodedMessage& message) {
  Symbol symbol;
  symbol.bytes.assign(message.bytes, (size_t)message.length);
  symbol.text = latin1ToUtf8(symbol.bytes);
  symbol.verified = reading.verified != 0;
  symbol.ecLevel = reading.ecLevel;
  symbol.rows = reading.rows;
  symbol.columns = reading.columns;
  for (int k = 0; k < 4; k++) symbol.corners[k] = {reading.corners[2 * k], reading.corners[2 * k + 1]};
  symbol.compact = reading.compact != 0;
  symbol.mirrored = reading.mirrored != 0;
  return symbol;
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

ReadResult resultOf(SymbolReading* readings, int count) {
  sortInReadingOrder(readings, count);
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  ReadResult result;
  result.status = Status::Decoded;
  for (int i = 0; i < count; i++) {
    decodeMessage(readings[i].codewords, readings[i].codewordCount, message.get());
    result.symbols.push_back(symbolOf(readings[i], *message));
  }
  return result;
}

// The exact pipeline runs first when its trace is wanted (that trace is all
// it adds), else only when the second path verified nothing: an unverified
// exact reading is returned only then.
ReadResult readGrey(const unsigned char* grey, int width, int height, const Options& options) {
  TraceScope traceScope(options.trace);
  int limit = options.maxSymbols > 0 && options.maxSymbols < kMaxSymbolsPerPicture ? options.maxSymbols
                                                                                   : kMaxSymbolsPerPicture;
  Readings readings((SymbolReading*)std::malloc(sizeof(SymbolReading) * (size_t)limit));
  if (!readings) return failure(Status::NotDecoded, "out of memory");
  SymbolReading* exact = readings.get();
  bool trusted = false, exactRan = options.exactOnly || options.trace;
  int exactOutcome = exactRan ? readSymbolExact(grey, width, height, exact, &trusted) : kDecodeNoSymbol;
  if (options.exactOnly || (trusted && limit == 1)) {
    if (exactOutcome != kDecodeOk) return failure(statusOf(exactOutcome), failureText(exactOutcome));
    return resultOf(exact, 1);
  }
  int known = trusted ? 1 : 0;
  ScanRequest request = {effortOf(options.effort), limit, exact, known};
  ScanStats stats;
  int count = known + readSymbolsByScan(grey, width, height, request, readings.get() + known, limit - known, &stats);
  if (count > 0) return resultOf(readings.get(), count);
  if (!exactRan && stats.rowPairs > 0) exactOutcome = readSymbolExact(grey, width, height, exact, &trusted);
  if (exactOutcome == kDecodeOk) {
    exact->verified = trusted;
    return resultOf(exact, 1);
  }
  if (exactOutcome == kDecodeNoSymbol && stats.trails > 0) exactOutcome = kDecodeNotDecoded;
  return failure(statusOf(exactOutcome), failureText(exactOutcome));
}

// A picture file's grey pixels (null when it could not be read) read.
ReadResult readLoaded(unsigned char* pixels, int width, int height, const Options& options) {
  GreyPicture grey(pixels);
  if (!grey) return failure(Status::NoPicture, failureText(kDecodeNoPicture));
  return readGrey(grey.get(), width, height, options);
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

ReadResult read(const ImageView& image, const Options& options) {
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
    // Grey rows that follow each other are read where they are: reading
    // leaves the picture unchanged.
    if (image.format == PixelFormat::Gray && stride == rowBytes)
      return readGrey(static_cast<const unsigned char*>(image.pixels), image.width, image.height, options);
    Layout layout = layoutOf(image.format);
    GreyPicture grey(pixelsToGray(image.pixels, image.width, image.height, stride, pixelBytes, layout.red,
                                  layout.green, layout.blue, layout.alpha));
    if (!grey) return failure(Status::NotDecoded, "out of memory");
    return readGrey(grey.get(), image.width, image.height, options);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

ReadResult readFile(const std::string& path, const Options& options) {
  try {
    int width = 0, height = 0;
    unsigned char* grey = loadPictureGray(path.c_str(), &width, &height);
    return readLoaded(grey, width, height, options);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

ReadResult readMemory(const void* bytes, size_t size, const Options& options) {
  try {
    int width = 0, height = 0;
    unsigned char* grey = decodePictureGray(static_cast<const unsigned char*>(bytes), size, &width, &height);
    return readLoaded(grey, width, height, options);
  } catch (const std::bad_alloc&) {
    return failure(Status::NotDecoded, "out of memory");
  }
}

const char* version() { return PDF417READ_VERSION; }

}  // namespace pdf417read
