// What every document fuzz target checks of a document parsed from a
// fuzzer's bytes: it fits its input, and the program's JSON and --fields
// outputs of it are whole (the JSON parses back) whatever it holds.
#ifndef PDF417_FUZZ_DOCUMENT_CHECK_H
#define PDF417_FUZZ_DOCUMENT_CHECK_H

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>

#include "app/document_fields.h"
#include "app/json_output.h"

inline void checkDocument(const pdf417read::Document& document, size_t inputSize) {
  // Every field holds at least one byte of the input.
  if (document.fields.size() > inputSize) std::abort();
  pdf417read::ReadResult result;
  result.status = pdf417read::Status::Decoded;
  result.symbols.emplace_back();
  result.symbols[0].document = document;
  // Naming statusName here links it, like the parsers, from the internal
  // library: the JSON writer then finds every public function it needs
  // there, and the public library's copies are not linked beside them.
  if (std::strcmp(pdf417read::statusName(result.status), "decoded") != 0) std::abort();
  nlohmann::json line = nlohmann::json::parse(jsonLine("fuzz", result), nullptr, false);
  if (line.is_discarded() || !line["symbols"][0]["document"].is_object()) std::abort();
  // Each warning gives a line of its own.
  std::string lines = documentFieldLines(document);
  if ((size_t)std::count(lines.begin(), lines.end(), '\n') < document.warnings.size()) std::abort();
}

// The parser's own document, and parseDocument's when it takes the bytes
// as a document of any kind.
template <typename Parse>
void fuzzDocument(Parse parse, const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  checkDocument(parse(bytes), size);
  std::optional<pdf417read::Document> document = pdf417read::parseDocument(bytes);
  if (document) checkDocument(*document, size);
}

#endif
