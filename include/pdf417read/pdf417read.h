// pdf417read: reads PDF417 barcodes (ISO/IEC 15438) from pictures.
//
//   #include <pdf417read/pdf417read.h>
//   pdf417read::ReadResult r = pdf417read::readFile("label.png");
//   for (const pdf417read::Symbol& s : r.symbols) use(s.text);
//
// Every function is safe to call from many threads at once: a call keeps no
// state between calls and shares none with other threads (a FrameReader
// keeps its scene's, and is used by one thread at a time). Results are plain
// values. The caller's pixels are only read, never kept, changed or freed.
#ifndef PDF417READ_PDF417READ_H
#define PDF417READ_PDF417READ_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#if defined(_WIN32) && defined(PDF417READ_SHARED)
#ifdef PDF417READ_BUILDING
#define PDF417READ_API __declspec(dllexport)
#else
#define PDF417READ_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define PDF417READ_API __attribute__((visibility("default")))
#else
#define PDF417READ_API
#endif

namespace pdf417read {

// How the bytes of one pixel are laid out.
enum class PixelFormat {
  Gray,  // 1 byte: 0 black .. 255 white
  RGB,   // 3 bytes: red, green, blue
  BGR,   // 3 bytes: blue, green, red
  RGBA,  // 4 bytes: red, green, blue, alpha (0 = transparent)
  BGRA,  // 4 bytes: blue, green, red, alpha
};

// The largest picture read: wider or higher pictures, or ones of more
// pixels, are refused before anything of their size is allocated.
constexpr int kMaxImageSide = 32767;
constexpr long long kMaxImagePixels = 1LL << 27;

// Bytes per pixel of a format.
PDF417READ_API int bytesPerPixel(PixelFormat format);

// A picture in the caller's memory: `height` rows of `width` pixels, top row
// first, each row `rowStrideBytes` bytes after the one before (0: rows follow
// each other without padding). Transparent pixels are taken as lying on white
// paper. The view only points at the pixels; they must stay valid while a
// read of the view runs.
struct ImageView {
  const uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  PixelFormat format = PixelFormat::Gray;
  int rowStrideBytes = 0;

  ImageView() = default;
  ImageView(const void* pixels, int width, int height, PixelFormat format, int rowStrideBytes = 0)
      : pixels(static_cast<const uint8_t*>(pixels)),
        width(width),
        height(height),
        format(format),
        rowStrideBytes(rowStrideBytes) {}
};

// How hard to look. Every effort reads symbols in any orientation, mirrored
// or not, and every symbol it returns as verified was confirmed by error
// correction with check codewords to spare.
enum class Effort {
  Fast,    // every 6th row and column scanned with one global threshold, few
           // candidate places read: clean, evenly lit pictures
  Normal,  // every 4th row and column (closer in small pictures), a global
           // and a local threshold: what the pdf417read program does
  Hard,    // every 2nd row and column, more candidates and readings: slower,
           // above all on pictures without a symbol
};

struct Options {
  // Only the reading that prints the trace: one symbol, upright or upside
  // down. Off: the picture is scanned for every symbol in any orientation,
  // and the reading that prints the trace gives the result only when the
  // scan verified nothing. Either way the result does not depend on `trace`.
  bool exactOnly = false;
  Effort effort = Effort::Normal;
  // At most this many symbols are returned; 0 means no limit (up to 64). 1
  // stops at the first verified symbol, which need not be the first in
  // reading order.
  int maxSymbols = 0;
  // Receives the diagnostic trace lines of the reading that prints the
  // trace; empty (the default) means nothing is traced. It is called on the
  // thread that calls read. Watching the trace changes no result.
  std::function<void(const std::string& text)> trace;
  // Parse each message as a document (see parseDocument) into
  // Symbol::document. Off: Symbol::document stays empty.
  bool parseDocuments = true;
};

enum class Status {
  Decoded,     // at least one symbol was read
  NoPicture,   // the picture could not be read (file, format or view)
  NoSymbol,    // no PDF417 symbol was found
  NotDecoded,  // a symbol was found but could not be decoded
};

// Short English text of a status: "decoded", "no picture", "no symbol",
// "not decoded".
PDF417READ_API const char* statusName(Status status);

struct Point {
  double x = 0;
  double y = 0;
};

// A Macro PDF417 control block: one segment of a message spread over several
// symbols. Optional fields are present only when the symbol carries them.
// Text fields are UTF-8 (their bytes taken as ISO-8859-1).
struct MacroInfo {
  int segmentIndex = 0;  // 0 for the first segment
  // The file id codewords, three decimal digits each: codewords 123 and 45
  // give "123045". Segments of one message share it.
  std::string fileId;
  bool lastSegment = false;
  std::optional<int> segmentCount;
  std::optional<std::string> fileName;
  std::optional<int64_t> timestamp;  // seconds since 1970-01-01 UTC
  std::optional<std::string> sender;
  std::optional<std::string> addressee;
  std::optional<int64_t> fileSize;  // bytes
  std::optional<int> checksum;      // CRC-16 of the whole message
};

// What a message means when it holds one of the records PDF417 symbols
// commonly carry (see parseDocument). Texts are UTF-8: a value's bytes as
// they are when they are valid UTF-8, else each byte taken as ISO-8859-1.
enum class DocumentType {
  Aamva,     // AAMVA DL/ID: the back of US and Canadian driver licences and ID cards
  Bcbp,      // IATA Bar Coded Boarding Pass, format M
  Iso15434,  // ISO/IEC 15434 envelope: shipping and parts labels
};

// "aamva", "bcbp" or "iso15434".
PDF417READ_API const char* documentTypeName(DocumentType type);

// One element of a document, in the order read.
struct DocumentField {
  std::string id;       // "DAQ"; a BCBP item number ("26"); a data identifier ("1J") or GS1 AI ("01")
  std::string name;     // what the element is; "unknown" for one its version does not define
  std::string value;    // as read
  std::string subfile;  // AAMVA: the subfile that holds it ("DL", "ID", "ZC"); else empty
};

struct SummaryItem;
// A value of a document's summary, as in JSON: null, a text, a whole number,
// a truth value, or a list of objects (a boarding pass's legs, an
// envelope's formats), each an ordered list of items.
struct SummaryValue {
  enum class Kind { Null, Text, Number, Bool, List };
  Kind kind = Kind::Null;
  std::string text;
  long long number = 0;
  bool flag = false;
  std::vector<std::vector<SummaryItem>> list;
};

struct SummaryItem {
  std::string key;  // "family_name", "date_of_birth", "legs", ...
  SummaryValue value;
};

struct Document {
  DocumentType type = DocumentType::Aamva;
  std::optional<int> version;  // AAMVA version; BCBP version when given; none for ISO/IEC 15434
  std::vector<DocumentField> fields;
  // What the document says, by fixed keys (per type, always the same keys in
  // the same order; null when the record does not tell): see README.md.
  std::vector<SummaryItem> summary;
  // Every deviation from the record's standard that was tolerated, and what
  // could not be read.
  std::vector<std::string> warnings;
};

struct Symbol {
  std::string bytes;  // the message, byte for byte (zero bytes included)
  // The message as UTF-8: the bytes before any ECI as ISO-8859-1, each ECI's
  // bytes converted from its character set (see eciCharset). A byte sequence
  // that is not valid in its set becomes U+FFFD; an unknown ECI's bytes are
  // taken as ISO-8859-1, with a warning.
  std::string text;
  std::vector<int> eci;   // the ECI of every designator met, in order; empty when none
  bool verified = false;  // error correction confirmed the codewords
  int ecLevel = -1;       // error-correction level 0..8, -1 when unknown
  int rows = 0;           // symbol rows, 0 when unknown
  int columns = 0;        // data columns, 0 when unknown
  // Top-left, top-right, bottom-right, bottom-left of the symbol in picture
  // pixels, in the symbol's own frame (the start pattern on its left).
  std::array<Point, 4> corners{};
  bool compact = false;     // compact PDF417: no right row indicator
  bool mirrored = false;    // read from a mirror image
  bool inverted = false;    // printed light on dark (or a negative)
  bool readerInit = false;  // carries the reader initialisation flag
  std::optional<MacroInfo> macro;
  std::vector<std::string> warnings;  // what the reader could not interpret
  // The message parsed as a document; none for other messages, or when
  // Options::parseDocuments is off.
  std::optional<Document> document;
  // The page of a multi-page file (TIFF) the symbol is on, counted from 1;
  // 0 for a picture file of one page and for pixels in memory.
  int page = 0;
};

struct ReadResult {
  Status status = Status::NoPicture;
  // Why, when nothing was decoded: for a file that cannot be read, for
  // example "no such file", "empty file", "truncated PNG file",
  // "unsupported picture format: HEIC" or "picture too large: ...".
  std::string error;
  std::vector<Symbol> symbols;  // in reading order: top to bottom, then left to right
};

// Reads every PDF417 symbol in a picture.
PDF417READ_API ReadResult read(const ImageView& image, const Options& options = Options());
// The same for a picture file: BMP, PNG, JPEG, GIF (first frame), TGA, PBM,
// PGM, PPM (plain and raw, 8 and 16 bits), TIFF and WebP. Every page of a
// multi-page TIFF is read; its symbols name their page.
PDF417READ_API ReadResult readFile(const std::string& path, const Options& options = Options());
// The same for the bytes of a picture file held in memory.
PDF417READ_API ReadResult readMemory(const void* bytes, size_t size,
                                     const Options& options = Options());

// Reads the successive frames of one camera as one scene: a symbol that no
// frame shows whole (a glare moving over a laminated card) is read from the
// best reading of each of its codewords over the frames. Each symbol is
// followed from frame to frame by its place, shape and layout, and a
// symbol is returned once, by the push of the frame it first decodes in:
// alone in that frame, or with the frames before. Error correction confirms
// every symbol returned as it does for one picture (verified is always
// true); codewords of different symbols are never combined into one.
// At most 8 symbols are followed; the one seen longest ago makes room.
// A reader is used by one thread at a time; copies are independent.
class PDF417READ_API FrameReader {
 public:
  explicit FrameReader(const Options& options = Options());
  FrameReader(const FrameReader& other);
  FrameReader& operator=(const FrameReader& other);
  FrameReader(FrameReader&& other) noexcept;
  FrameReader& operator=(FrameReader&& other) noexcept;
  ~FrameReader();

  // Reads the next frame. symbols: those first decoded now; status Decoded
  // when there are any, else as read would say of the frame, NotDecoded
  // ("the symbols seen were returned before") when all it showed were
  // returned before. Options::exactOnly does not apply. A moved-from
  // reader starts a new scene with default options.
  ReadResult push(const ImageView& frame);
  // Forgets every symbol: the next frame starts a new scene.
  void reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Parses a message as an AAMVA DL/ID record, an IATA boarding pass (BCBP) or
// an ISO/IEC 15434 envelope, told apart by how they begin. None when the
// bytes begin like none of them; a record that begins like one but breaks
// off or breaks its rules gives what could be read, with warnings. Never
// throws.
PDF417READ_API std::optional<Document> parseDocument(const std::string& bytes);

// The character set of an ECI as iconv names it ("ISO-8859-2", "SHIFT_JIS",
// "UTF-8", ...), "binary" for ECI 899, or null for an ECI this library does
// not convert.
PDF417READ_API const char* eciCharset(int eci);

// A picture file's pixels as the reader decodes them: `height` rows of
// `width` pixels, three bytes each (red, green, blue), transparent pixels on
// white. For drawing what was found over the picture.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Decodes the bytes of a picture file with the same reader and the same
// limits as readMemory (the first page of a multi-page file). False when
// they do not hold a readable picture.
PDF417READ_API bool loadPicture(const void* bytes, size_t size, Picture* picture);

// The library's version, "MAJOR.MINOR.PATCH".
PDF417READ_API const char* version();

}  // namespace pdf417read

#endif
