// The public entry points: pictures in, symbols out, as plain values.
#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>

#include "highlevel/eci_text.h"
#include "highlevel/message_decoder.h"
#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"
#include "pipeline/reading_order.h"
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

// The text of the bytes from start to end in charset, appended to text; as
// ISO-8859-1, with a warning, when the C library cannot convert the set.
void appendPart(const char* charset, const DecodedMessage& message, int start, int end, Symbol* symbol,
                std::string* text, int* length) {
  const char* bytes = message.bytes + start;
  if (appendAsUtf8(charset, bytes, end - start, &(*text)[0], (int)text->size(), length)) return;
  symbol->warnings.push_back(std::string("character set ") + charset +
                             " not available: its bytes are taken as ISO-8859-1");
  appendAsUtf8("ISO-8859-1", bytes, end - start, &(*text)[0], (int)text->size(), length);
}

// The message as UTF-8: the bytes before the first ECI designator as
// ISO-8859-1, every part after one in the set its ECI names. A part whose
// ECI is unknown is taken as ISO-8859-1 too, with a warning.
void convertText(const DecodedMessage& message, Symbol* symbol) {
  std::string text((size_t)utf8Capacity(message.length), '\0');
  int length = 0;
  int start = 0;
  const char* charset = "ISO-8859-1";
  for (int i = 0; i < message.ecis.count; i++) {
    const EciMark& mark = message.ecis.marks[i];
    int end = std::min(std::max(mark.position, start), message.length);
    appendPart(charset, message, start, end, symbol, &text, &length);
    start = end;
    symbol->eci.push_back(mark.eci);
    charset = eciCharsetName(mark.eci);
    if (!charset) {
      symbol->warnings.push_back("unknown ECI " + std::to_string(mark.eci) +
                                 ": its bytes are taken as ISO-8859-1");
      charset = "ISO-8859-1";
    }
  }
  appendPart(charset, message, start, message.length, symbol, &text, &length);
  text.resize((size_t)length);
  symbol->text = std::move(text);
}

// A field's bytes as UTF-8 (text fields hold ISO-8859-1).
std::string fieldText(const MacroText& field) {
  std::string text((size_t)utf8Capacity(field.length), '\0');
  int length = 0;
  appendAsUtf8("ISO-8859-1", field.bytes, field.length, &text[0], (int)text.size(), &length);
  text.resize((size_t)length);
  return text;
}

template <typename Number>
void takeNumber(const MacroText& field, const char* name, std::optional<Number>* value, Symbol* symbol) {
  if (!field.present) return;
  long long number = 0;
  if (macroFieldNumber(&field, &number) && number <= std::numeric_limits<Number>::max())
    *value = (Number)number;
  else
    symbol->warnings.push_back(std::string("Macro PDF417 ") + name + " unreadable");
}

void takeText(const MacroText& field, std::optional<std::string>* value) {
  if (field.present) *value = fieldText(field);
}

void convertMacro(const MacroBlock& block, Symbol* symbol) {
  if (!block.present) return;
  if (!block.readable) {
    symbol->warnings.push_back("Macro PDF417 control block unreadable");
    return;
  }
  MacroInfo macro;
  macro.segmentIndex = block.segmentIndex;
  macro.fileId.assign(block.fileId.bytes, (size_t)block.fileId.length);
  macro.lastSegment = block.lastSegment != 0;
  takeText(block.fields[kMacroFileName], &macro.fileName);
  takeNumber(block.fields[kMacroSegmentCount], "segment count", &macro.segmentCount, symbol);
  takeNumber(block.fields[kMacroTimestamp], "time stamp", &macro.timestamp, symbol);
  takeText(block.fields[kMacroSender], &macro.sender);
  takeText(block.fields[kMacroAddressee], &macro.addressee);
  takeNumber(block.fields[kMacroFileSize], "file size", &macro.fileSize, symbol);
  takeNumber(block.fields[kMacroChecksum], "checksum", &macro.checksum, symbol);
  if (block.unknownFields > 0) symbol->warnings.push_back("Macro PDF417 fields of unknown number skipped");
  symbol->macro = std::move(macro);
}

// The symbol a reading holds; none when its codewords hold no valid
// message (a designator that names no ECI).
std::optional<Symbol> symbolOf(const SymbolReading& reading) {
  // Large; it lives on the heap, not on a caller's thread stack.
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  if (decodeMessage(reading.codewords, reading.codewordCount, message.get()) == kMessageInvalid)
    return std::nullopt;
  Symbol symbol;
  symbol.bytes.assign(message->bytes, (size_t)message->length);
  convertText(*message, &symbol);
  symbol.readerInit = message->readerInit != 0;
  convertMacro(message->macro, &symbol);
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

// The symbols of the readings in reading order. A reading whose codewords
// hold no valid message is left out; with none left the picture is "not
// decoded".
ReadResult resultOf(SymbolReading* readings, int count) {
  sortInReadingOrder(readings, count);
  ReadResult result;
  for (int i = 0; i < count; i++) {
    std::optional<Symbol> symbol = symbolOf(readings[i]);
    if (symbol) result.symbols.push_back(std::move(*symbol));
  }
  if (result.symbols.empty()) return failure(Status::NotDecoded, failureText(kDecodeNotDecoded));
  result.status = Status::Decoded;
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

const char* eciCharset(int eci) { return eciCharsetName(eci); }

bool loadPicture(const void* bytes, size_t size, Picture* picture) {
  try {
    std::unique_ptr<PictureBitmap, void (*)(PictureBitmap*)> bitmap(
        decodePictureBytes(static_cast<const unsigned char*>(bytes), size), freePictureBitmap);
    if (!bitmap) return false;
    size_t pixelCount = (size_t)bitmap->width * bitmap->height;
    picture->rgb.resize(pixelCount * 3);
    for (size_t i = 0; i < pixelCount; i++) {
      const unsigned char* bgr = bitmap->pixels + 3 * i;
      picture->rgb[3 * i] = bgr[2];
      picture->rgb[3 * i + 1] = bgr[1];
      picture->rgb[3 * i + 2] = bgr[0];
    }
    picture->width = bitmap->width;
    picture->height = bitmap->height;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

const char* version() { return PDF417READ_VERSION; }

}  // namespace pdf417read
