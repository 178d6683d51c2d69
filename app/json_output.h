// The program's output for other programs: one JSON object per picture.
#ifndef PDF417_APP_JSON_OUTPUT_H
#define PDF417_APP_JSON_OUTPUT_H

#include <pdf417read/pdf417read.h>

#include <string>

// One line (newline included) describing what was read from file:
//   {"file", "status", "error" (when not decoded), "symbols": [{"text",
//    "bytes" (base64), "verified", "ec_level", "rows", "columns", "corners"
//    ([x, y] x 4), "eci", "compact", "mirrored", "inverted", "reader_init", "macro"
//    (null or an object), "warnings", "document" (null or {"type",
//    "version", "fields": [{"id", "name", "value", "subfile" (AAMVA)}],
//    "summary", "warnings"})}]}
// Text that is not valid UTF-8 (a file name, say) is written with U+FFFD
// in place of the invalid bytes; it never fails.
std::string jsonLine(const std::string& file, const pdf417read::ReadResult& result);

// RFC 4648 base64 with padding.
std::string base64(const std::string& bytes);

#endif
