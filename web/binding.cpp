// The WebAssembly module's entry points: a plain C interface over
// pdf417read::read, readMemory and FrameReader. A result crosses to JavaScript as one
// UTF-8 JSON text in memory the caller frees with pdf417_free: the same
// fields as the program's --json, named as the JavaScript API names them,
// with the bytes as a list of numbers. A symbol's document keeps the keys the
// program's --json gives it (they are data, not API names); its JSON is
// written here because the program's writer needs a JSON library this build
// leaves out, and the package's tests check the two agree.
#include <pdf417read/pdf417read.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using pdf417read::Document;
using pdf417read::MacroInfo;
using pdf417read::ReadResult;
using pdf417read::Symbol;

void putString(std::string* out, const std::string& text) {
  *out += '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      *out += '\\';
      *out += (char)c;
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *out += escaped;
    } else {
      *out += (char)c;
    }
  }
  *out += '"';
}

// Seventeen digits read back as the same double.
void putNumber(std::string* out, double value) {
  if (!std::isfinite(value)) {
    *out += "null";
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  *out += text;
}

void putInteger(std::string* out, long long value) { *out += std::to_string(value); }

void putBool(std::string* out, bool value) { *out += value ? "true" : "false"; }

void putName(std::string* out, const char* name) {
  *out += '"';
  *out += name;
  *out += "\":";
}

template <typename T, typename Put>
void putOptional(std::string* out, const char* name, const std::optional<T>& value, Put put) {
  if (!value) return;
  *out += ',';
  putName(out, name);
  put(out, *value);
}

void putMacro(std::string* out, const std::optional<MacroInfo>& macro) {
  if (!macro) {
    *out += "null";
    return;
  }
  *out += '{';
  putName(out, "segmentIndex");
  putInteger(out, macro->segmentIndex);
  *out += ',';
  putName(out, "fileId");
  putString(out, macro->fileId);
  *out += ',';
  putName(out, "lastSegment");
  putBool(out, macro->lastSegment);
  putOptional(out, "segmentCount", macro->segmentCount, putInteger);
  putOptional(out, "fileName", macro->fileName, putString);
  putOptional(out, "timestamp", macro->timestamp, putInteger);
  putOptional(out, "sender", macro->sender, putString);
  putOptional(out, "addressee", macro->addressee, putString);
  putOptional(out, "fileSize", macro->fileSize, putInteger);
  putOptional(out, "checksum", macro->checksum, putInteger);
  *out += '}';
}

template <typename T, typename Put>
void putList(std::string* out, const std::vector<T>& items, Put put) {
  *out += '[';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) *out += ',';
    put(out, items[i]);
  }
  *out += ']';
}

void putStrings(std::string* out, const std::vector<std::string>& texts) { putList(out, texts, putString); }

void putSummary(std::string* out, const std::vector<pdf417read::SummaryItem>& items);

void putSummaryValue(std::string* out, const pdf417read::SummaryValue& value) {
  using Kind = pdf417read::SummaryValue::Kind;
  switch (value.kind) {
    case Kind::Text: putString(out, value.text); return;
    case Kind::Number: putInteger(out, value.number); return;
    case Kind::Bool: putBool(out, value.flag); return;
    case Kind::List: putList(out, value.list, putSummary); return;
    case Kind::Null: break;
  }
  *out += "null";
}

void putSummary(std::string* out, const std::vector<pdf417read::SummaryItem>& items) {
  *out += '{';
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) *out += ',';
    putName(out, items[i].key.c_str());
    putSummaryValue(out, items[i].value);
  }
  *out += '}';
}

void putField(std::string* out, const pdf417read::DocumentField& field, bool withSubfile) {
  *out += '{';
  putName(out, "id");
  putString(out, field.id);
  *out += ',';
  putName(out, "name");
  putString(out, field.name);
  *out += ',';
  putName(out, "value");
  putString(out, field.value);
  if (withSubfile) {
    *out += ',';
    putName(out, "subfile");
    putString(out, field.subfile);
  }
  *out += '}';
}

// The document as the program's --json writes it: only AAMVA fields name
// their subfile.
void putDocument(std::string* out, const std::optional<Document>& document) {
  if (!document) {
    *out += "null";
    return;
  }
  bool aamva = document->type == pdf417read::DocumentType::Aamva;
  *out += '{';
  putName(out, "type");
  putString(out, pdf417read::documentTypeName(document->type));
  *out += ',';
  putName(out, "version");
  if (document->version) putInteger(out, *document->version);
  else *out += "null";
  *out += ',';
  putName(out, "fields");
  putList(out, document->fields,
          [aamva](std::string* to, const pdf417read::DocumentField& field) { putField(to, field, aamva); });
  *out += ',';
  putName(out, "summary");
  putSummary(out, document->summary);
  *out += ',';
  putName(out, "warnings");
  putStrings(out, document->warnings);
  *out += '}';
}

char* heapCopy(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

// A symbol's bytes as a list of numbers.
void putBytes(std::string* out, const std::string& bytes) {
  *out += '[';
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) *out += ',';
    putInteger(out, (unsigned char)bytes[i]);
  }
  *out += ']';
}

void putCorners(std::string* out, const std::array<pdf417read::Point, 4>& corners) {
  *out += '[';
  for (size_t i = 0; i < corners.size(); ++i) {
    if (i) *out += ',';
    *out += "{\"x\":";
    putNumber(out, corners[i].x);
    *out += ",\"y\":";
    putNumber(out, corners[i].y);
    *out += '}';
  }
  *out += ']';
}

// ,"name":value
template <typename T, typename Put>
void putMember(std::string* out, const char* name, const T& value, Put put) {
  *out += ',';
  putName(out, name);
  put(out, value);
}

void putSymbol(std::string* out, const Symbol& symbol) {
  *out += '{';
  putName(out, "text");
  putString(out, symbol.text);
  putMember(out, "bytes", symbol.bytes, putBytes);
  putMember(out, "verified", symbol.verified, putBool);
  putMember(out, "ecLevel", symbol.ecLevel, putInteger);
  putMember(out, "rows", symbol.rows, putInteger);
  putMember(out, "columns", symbol.columns, putInteger);
  putMember(out, "corners", symbol.corners, putCorners);
  *out += ',';
  putName(out, "eci");
  putList(out, symbol.eci, putInteger);
  putMember(out, "compact", symbol.compact, putBool);
  putMember(out, "mirrored", symbol.mirrored, putBool);
  putMember(out, "inverted", symbol.inverted, putBool);
  putMember(out, "readerInit", symbol.readerInit, putBool);
  putMember(out, "macro", symbol.macro, putMacro);
  putMember(out, "warnings", symbol.warnings, putStrings);
  putMember(out, "document", symbol.document, putDocument);
  putMember(out, "page", symbol.page, putInteger);
  *out += '}';
}

char* resultJson(const ReadResult& result) {
  std::string out = "{";
  putName(&out, "status");
  putString(&out, pdf417read::statusName(result.status));
  out += ',';
  putName(&out, "error");
  putString(&out, result.error);
  out += ',';
  putName(&out, "symbols");
  out += '[';
  for (size_t i = 0; i < result.symbols.size(); ++i) {
    if (i) out += ',';
    putSymbol(&out, result.symbols[i]);
  }
  out += "]}";
  return heapCopy(out);
}

pdf417read::Options optionsOf(int effort, int maxSymbols) {
  pdf417read::Options options;
  options.effort = effort == 0   ? pdf417read::Effort::Fast
                   : effort == 2 ? pdf417read::Effort::Hard
                                 : pdf417read::Effort::Normal;
  options.maxSymbols = maxSymbols;
  return options;
}

// The pixel format code as a PixelFormat; false for an unknown code.
bool pixelFormatOf(int format, pdf417read::PixelFormat* out) {
  if (format < 0 || format > static_cast<int>(pdf417read::PixelFormat::BGRA)) return false;
  *out = static_cast<pdf417read::PixelFormat>(format);
  return true;
}

char* unknownFormat() {
  ReadResult unknown;
  unknown.error = "unknown pixel format";
  return resultJson(unknown);
}

}  // namespace

extern "C" {

// Reads `width` x `height` pixels of `format` (a pdf417read::PixelFormat),
// rows without padding. Null only when memory for the result ran out.
char* pdf417_read_pixels(const uint8_t* pixels, int width, int height, int format, int effort,
                         int maxSymbols) {
  pdf417read::PixelFormat pixelFormat;
  if (!pixelFormatOf(format, &pixelFormat)) return unknownFormat();
  pdf417read::ImageView view(pixels, width, height, pixelFormat);
  return resultJson(pdf417read::read(view, optionsOf(effort, maxSymbols)));
}

// Reads the `size` bytes of a picture file.
char* pdf417_read_file(const uint8_t* bytes, size_t size, int effort, int maxSymbols) {
  return resultJson(pdf417read::readMemory(bytes, size, optionsOf(effort, maxSymbols)));
}

// The `size` bytes of a message parsed as a document: its JSON, or "null".
char* pdf417_parse_document(const uint8_t* bytes, size_t size) {
  std::string document;
  putDocument(&document, pdf417read::parseDocument(std::string(reinterpret_cast<const char*>(bytes), size)));
  return heapCopy(document);
}

// A reader of the frames of one scene; null when memory ran out. Freed with
// pdf417_frames_free.
pdf417read::FrameReader* pdf417_frames_new(int effort, int maxSymbols) {
  try {
    return new pdf417read::FrameReader(optionsOf(effort, maxSymbols));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Reads the next frame as pdf417_read_pixels reads a picture: the symbols
// first decoded in it.
char* pdf417_frames_push(pdf417read::FrameReader* frames, const uint8_t* pixels, int width, int height,
                         int format) {
  pdf417read::PixelFormat pixelFormat;
  if (!pixelFormatOf(format, &pixelFormat)) return unknownFormat();
  return resultJson(frames->push(pdf417read::ImageView(pixels, width, height, pixelFormat)));
}

void pdf417_frames_reset(pdf417read::FrameReader* frames) { frames->reset(); }

void pdf417_frames_free(pdf417read::FrameReader* frames) { delete frames; }

const char* pdf417_version() { return pdf417read::version(); }

// Bytes of the heap in use, to check that calls give back what they take.
size_t pdf417_heap_in_use() { return mallinfo().uordblks; }

}  // extern "C"
