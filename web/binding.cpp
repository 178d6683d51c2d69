// The WebAssembly module's entry points: a plain C interface over
// pdf417read::read and readMemory. A result crosses to JavaScript as one
// UTF-8 JSON text in memory the caller frees with pdf417_free: the same
// fields as the program's --json, named as the JavaScript API names them,
// with the bytes as a list of numbers.
#include <pdf417read/pdf417read.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <string>

namespace {

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

void putSymbol(std::string* out, const Symbol& symbol) {
  *out += '{';
  putName(out, "text");
  putString(out, symbol.text);
  *out += ',';
  putName(out, "bytes");
  *out += '[';
  for (size_t i = 0; i < symbol.bytes.size(); ++i) {
    if (i) *out += ',';
    putInteger(out, (unsigned char)symbol.bytes[i]);
  }
  *out += "],";
  putName(out, "verified");
  putBool(out, symbol.verified);
  *out += ',';
  putName(out, "ecLevel");
  putInteger(out, symbol.ecLevel);
  *out += ',';
  putName(out, "rows");
  putInteger(out, symbol.rows);
  *out += ',';
  putName(out, "columns");
  putInteger(out, symbol.columns);
  *out += ',';
  putName(out, "corners");
  *out += '[';
  for (size_t i = 0; i < symbol.corners.size(); ++i) {
    if (i) *out += ',';
    *out += "{\"x\":";
    putNumber(out, symbol.corners[i].x);
    *out += ",\"y\":";
    putNumber(out, symbol.corners[i].y);
    *out += '}';
  }
  *out += "],";
  putName(out, "eci");
  *out += '[';
  for (size_t i = 0; i < symbol.eci.size(); ++i) {
    if (i) *out += ',';
    putInteger(out, symbol.eci[i]);
  }
  *out += "],";
  putName(out, "compact");
  putBool(out, symbol.compact);
  *out += ',';
  putName(out, "mirrored");
  putBool(out, symbol.mirrored);
  *out += ',';
  putName(out, "inverted");
  putBool(out, symbol.inverted);
  *out += ',';
  putName(out, "readerInit");
  putBool(out, symbol.readerInit);
  *out += ',';
  putName(out, "macro");
  putMacro(out, symbol.macro);
  *out += ',';
  putName(out, "warnings");
  *out += '[';
  for (size_t i = 0; i < symbol.warnings.size(); ++i) {
    if (i) *out += ',';
    putString(out, symbol.warnings[i]);
  }
  *out += "]}";
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
  char* copy = static_cast<char*>(std::malloc(out.size() + 1));
  if (copy) std::memcpy(copy, out.c_str(), out.size() + 1);
  return copy;
}

pdf417read::Options optionsOf(int effort, int maxSymbols) {
  pdf417read::Options options;
  options.effort = effort == 0   ? pdf417read::Effort::Fast
                   : effort == 2 ? pdf417read::Effort::Hard
                                 : pdf417read::Effort::Normal;
  options.maxSymbols = maxSymbols;
  return options;
}

}  // namespace

extern "C" {

// Reads `width` x `height` pixels of `format` (a pdf417read::PixelFormat),
// rows without padding. Null only when memory for the result ran out.
char* pdf417_read_pixels(const uint8_t* pixels, int width, int height, int format, int effort,
                         int maxSymbols) {
  if (format < 0 || format > static_cast<int>(pdf417read::PixelFormat::BGRA)) {
    ReadResult unknown;
    unknown.error = "unknown pixel format";
    return resultJson(unknown);
  }
  pdf417read::ImageView view(pixels, width, height, static_cast<pdf417read::PixelFormat>(format));
  return resultJson(pdf417read::read(view, optionsOf(effort, maxSymbols)));
}

// Reads the `size` bytes of a picture file.
char* pdf417_read_file(const uint8_t* bytes, size_t size, int effort, int maxSymbols) {
  return resultJson(pdf417read::readMemory(bytes, size, optionsOf(effort, maxSymbols)));
}

const char* pdf417_version() { return pdf417read::version(); }

// Bytes of the heap in use, to check that calls give back what they take.
size_t pdf417_heap_in_use() { return mallinfo().uordblks; }

}  // extern "C"
