#include "app/document_fields.h"

#include <vector>

using pdf417read::SummaryItem;
using pdf417read::SummaryValue;

static void appendItems(const std::vector<SummaryItem>& items, const std::string& prefix, std::string* out);

static void appendValue(const SummaryValue& value, const std::string& path, std::string* out) {
  switch (value.kind) {
    case SummaryValue::Kind::Null: *out += "  " + path + ": null\n"; break;
    case SummaryValue::Kind::Text: *out += "  " + path + ": " + value.text + "\n"; break;
    case SummaryValue::Kind::Number: *out += "  " + path + ": " + std::to_string(value.number) + "\n"; break;
    case SummaryValue::Kind::Bool: *out += "  " + path + ": " + (value.flag ? "true" : "false") + "\n"; break;
    case SummaryValue::Kind::List:
      for (size_t k = 0; k < value.list.size(); k++)
        appendItems(value.list[k], path + "[" + std::to_string(k + 1) + "].", out);
      break;
  }
}

static void appendItems(const std::vector<SummaryItem>& items, const std::string& prefix, std::string* out) {
  for (const SummaryItem& item : items) appendValue(item.value, prefix + item.key, out);
}

std::string documentFieldLines(const pdf417read::Document& document) {
  std::string out;
  appendItems(document.summary, "", &out);
  for (const std::string& warning : document.warnings) out += "  warning: " + warning + "\n";
  return out;
}
