#include "document/iso15434.h"

#include <vector>

#include "document/document_values.h"
#include "document/gs1_elements.h"

namespace pdf417read::detail {

using pdf417read::Document;
using pdf417read::DocumentField;
using pdf417read::SummaryItem;
using pdf417read::SummaryValue;

namespace {

const char kHeader[] = "[)>";
const char kRecordSeparator = '\x1e';
const char kGroupSeparator = '\x1d';
const char kEndOfTransmission = '\x04';
// A data identifier: up to three digits, then one letter.
const size_t kMaxIdentifierDigits = 3;

const char* formatName(const std::string& format) {
  static const char* const kNames[][2] = {
      {"01", "Transportation data element"},
      {"02", "Complete EDI message"},
      {"03", "ANSI X12 structured data"},
      {"04", "UN/EDIFACT structured data"},
      {"05", "GS1 element string"},
      {"06", "Data element with data identifier"},
      {"07", "Free form data"},
      {"08", "CII structured data"},
      {"09", "Binary data"},
      {"12", "Data element with text element identifier"},
  };
  for (const auto& entry : kNames)
    if (format == entry[0]) return entry[1];
  return "Data element";
}

bool identifiedFormat(const std::string& format) { return format == "06" || format == "12"; }

// The length of the data identifier that leads an element; 0 when it has none.
size_t identifierLength(const std::string& element) {
  size_t digits = 0;
  while (digits < element.size() && digits < kMaxIdentifierDigits && element[digits] >= '0' && element[digits] <= '9')
    digits++;
  if (digits >= element.size() || element[digits] < 'A' || element[digits] > 'Z') return 0;
  return digits + 1;
}

SummaryValue listOf(std::vector<std::vector<SummaryItem>> objects) {
  SummaryValue value;
  value.kind = SummaryValue::Kind::List;
  value.list = std::move(objects);
  return value;
}

struct Element {
  std::string id;
  std::string value;
};

// The elements of one GS-separated piece: led by a data identifier in
// formats 06 and 12, GS1 element strings in format 05, else the piece whole.
// `unidentified` is set when an identifier was expected and is missing.
std::vector<Element> elementsOf(const std::string& format, const std::string& piece, bool* unidentified) {
  if (format == "05") {
    std::vector<Element> elements;
    for (const Gs1Element& element : gs1Elements(piece)) {
      if (element.ai.empty()) *unidentified = true;
      elements.push_back({element.ai, element.data});
    }
    return elements;
  }
  if (!identifiedFormat(format)) return {{"", piece}};
  size_t idLength = identifierLength(piece);
  if (idLength == 0) *unidentified = true;
  return {{piece.substr(0, idLength), piece.substr(idLength)}};
}

// One format's elements, split at GS.
std::vector<SummaryItem> readFormat(const std::string& format, const std::string& content, Document* document) {
  std::vector<std::vector<SummaryItem>> fields;
  bool unidentified = false;
  size_t at = 0;
  while (at <= content.size()) {
    size_t end = content.find(kGroupSeparator, at);
    if (end == std::string::npos) end = content.size();
    std::string piece = content.substr(at, end - at);
    at = end + 1;
    if (piece.empty()) continue;
    for (const Element& element : elementsOf(format, piece, &unidentified)) {
      document->fields.push_back(DocumentField{textOf(element.id), formatName(format), textOf(element.value), ""});
      fields.push_back({SummaryItem{"id", textValue(element.id)}, SummaryItem{"value", textValue(element.value)}});
    }
  }
  if (unidentified)
    document->warnings.push_back("format " + textOf(format) + ": elements without a " +
                                 (format == "05" ? "known application identifier" : "data identifier"));
  return {SummaryItem{"format", textValue(format)}, SummaryItem{"fields", listOf(std::move(fields))}};
}

}  // namespace

bool looksLikeIso15434(const std::string& bytes) { return textAt(bytes, 0, kHeader); }

Document parseIso15434(const std::string& bytes) {
  Document document;
  document.type = pdf417read::DocumentType::Iso15434;
  size_t at = 3;
  if (at < bytes.size() && bytes[at] == kRecordSeparator)
    at++;
  else
    document.warnings.push_back("no RS after the header");
  std::vector<std::vector<SummaryItem>> formats;
  bool ended = false;
  while (at < bytes.size()) {
    if (bytes[at] == kEndOfTransmission) {
      ended = true;
      if (at + 1 < bytes.size())
        document.warnings.push_back(std::to_string(bytes.size() - at - 1) + " bytes after EOT");
      break;
    }
    if (!digitsAt(bytes, at, 2)) {
      document.warnings.push_back("a format that does not begin with two digits at " + std::to_string(at));
      break;
    }
    std::string format = bytes.substr(at, 2);
    size_t end = at + 2;
    while (end < bytes.size() && bytes[end] != kRecordSeparator && bytes[end] != kEndOfTransmission) end++;
    if (end >= bytes.size() || bytes[end] != kRecordSeparator)
      document.warnings.push_back("format " + format + " does not end with RS");
    size_t contentAt = at + 2 < end && bytes[at + 2] == kGroupSeparator ? at + 3 : at + 2;
    formats.push_back(readFormat(format, bytes.substr(contentAt, end - contentAt), &document));
    at = end < bytes.size() && bytes[end] == kRecordSeparator ? end + 1 : end;
  }
  if (!ended) document.warnings.push_back("no EOT at the end");
  if (formats.empty()) document.warnings.push_back("no format");
  document.summary = {SummaryItem{"formats", listOf(std::move(formats))}};
  return document;
}

}  // namespace pdf417read::detail
