#include "app/json_output.h"

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

std::string base64(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    size_t left = bytes.size() - i;
    unsigned value = (unsigned char)bytes[i] << 16;
    if (left > 1) value |= (unsigned char)bytes[i + 1] << 8;
    if (left > 2) value |= (unsigned char)bytes[i + 2];
    out += kDigits[value >> 18 & 63];
    out += kDigits[value >> 12 & 63];
    out += left > 1 ? kDigits[value >> 6 & 63] : '=';
    out += left > 2 ? kDigits[value & 63] : '=';
  }
  return out;
}

template <typename T>
static void putOptional(Json* object, const char* name, const std::optional<T>& value) {
  if (value) (*object)[name] = *value;
}

static Json macroJson(const std::optional<pdf417read::MacroInfo>& macro) {
  if (!macro) return nullptr;
  Json object = {{"segment_index", macro->segmentIndex},
                 {"file_id", macro->fileId},
                 {"last_segment", macro->lastSegment}};
  putOptional(&object, "segment_count", macro->segmentCount);
  putOptional(&object, "file_name", macro->fileName);
  putOptional(&object, "timestamp", macro->timestamp);
  putOptional(&object, "sender", macro->sender);
  putOptional(&object, "addressee", macro->addressee);
  putOptional(&object, "file_size", macro->fileSize);
  putOptional(&object, "checksum", macro->checksum);
  return object;
}

static Json summaryJson(const std::vector<pdf417read::SummaryItem>& items);

static Json summaryValueJson(const pdf417read::SummaryValue& value) {
  using Kind = pdf417read::SummaryValue::Kind;
  switch (value.kind) {
    case Kind::Text: return value.text;
    case Kind::Number: return value.number;
    case Kind::Bool: return value.flag;
    case Kind::List: {
      Json list = Json::array();
      for (const std::vector<pdf417read::SummaryItem>& object : value.list) list.push_back(summaryJson(object));
      return list;
    }
    case Kind::Null: break;
  }
  return nullptr;
}

static Json summaryJson(const std::vector<pdf417read::SummaryItem>& items) {
  Json object = Json::object();
  for (const pdf417read::SummaryItem& item : items) object[item.key] = summaryValueJson(item.value);
  return object;
}

static Json documentJson(const std::optional<pdf417read::Document>& document) {
  if (!document) return nullptr;
  bool aamva = document->type == pdf417read::DocumentType::Aamva;
  Json fields = Json::array();
  for (const pdf417read::DocumentField& field : document->fields) {
    Json object = {{"id", field.id}, {"name", field.name}, {"value", field.value}};
    if (aamva) object["subfile"] = field.subfile;
    fields.push_back(object);
  }
  return {{"type", pdf417read::documentTypeName(document->type)},
          {"version", document->version ? Json(*document->version) : Json(nullptr)},
          {"fields", fields},
          {"summary", summaryJson(document->summary)},
          {"warnings", document->warnings}};
}

static Json symbolJson(const pdf417read::Symbol& symbol) {
  Json corners = Json::array();
  for (const pdf417read::Point& corner : symbol.corners) corners.push_back({corner.x, corner.y});
  Json object = {{"text", symbol.text},
                 {"bytes", base64(symbol.bytes)},
                 {"verified", symbol.verified},
                 {"ec_level", symbol.ecLevel},
                 {"rows", symbol.rows},
                 {"columns", symbol.columns},
                 {"corners", corners},
                 {"eci", symbol.eci},
                 {"compact", symbol.compact},
                 {"mirrored", symbol.mirrored},
                 {"inverted", symbol.inverted},
                 {"reader_init", symbol.readerInit},
                 {"macro", macroJson(symbol.macro)},
                 {"warnings", symbol.warnings},
                 {"document", documentJson(symbol.document)}};
  // Only a multi-page file's symbols name their page (from 1).
  if (symbol.page > 0) object["page"] = symbol.page;
  return object;
}

std::string jsonLine(const std::string& file, const pdf417read::ReadResult& result) {
  Json line = {{"file", file}, {"status", pdf417read::statusName(result.status)}};
  if (result.status != pdf417read::Status::Decoded) line["error"] = result.error;
  Json symbols = Json::array();
  for (const pdf417read::Symbol& symbol : result.symbols) symbols.push_back(symbolJson(symbol));
  line["symbols"] = symbols;
  // Replace, never throw: names and texts may hold bytes that are not UTF-8.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}
