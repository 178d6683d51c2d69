#include "document/bcbp.h"

#include <algorithm>
#include <vector>

#include "document/document_values.h"

namespace pdf417read::detail {

using pdf417read::Document;
using pdf417read::DocumentField;
using pdf417read::SummaryItem;
using pdf417read::SummaryValue;

namespace {

const size_t kHeaderSize = 23;  // format, legs, name (20), electronic ticket
const int kLatestVersion = 8;

struct Item {
  const char* id;  // the IATA item number
  const char* name;
  size_t size;
};

// The mandatory items of every leg, up to the size of its variable part.
const Item kLegItems[] = {
    {"7", "Operating carrier PNR Code", 7},
    {"26", "From City Airport Code", 3},
    {"38", "To City Airport Code", 3},
    {"42", "Operating carrier Designator", 3},
    {"43", "Flight Number", 5},
    {"46", "Date of Flight (Julian Date)", 3},
    {"71", "Compartment Code", 1},
    {"104", "Seat Number", 4},
    {"107", "Check-In Sequence Number", 5},
    {"113", "Passenger Status", 1},
};
const size_t kLegItemCount = sizeof kLegItems / sizeof kLegItems[0];

// The first leg's conditional items that are not repeated, in order.
const Item kUniqueItems[] = {
    {"15", "Passenger Description", 1},
    {"12", "Source of check-in", 1},
    {"14", "Source of Boarding Pass Issuance", 1},
    {"22", "Date of Issue of Boarding Pass (Julian Date)", 4},
    {"16", "Document Type", 1},
    {"21", "Airline Designator of boarding pass issuer", 3},
    {"23", "Baggage Tag Licence Plate Number(s)", 13},
    {"31", "1st Non-Consecutive Baggage Tag Licence Plate Number", 13},
    {"32", "2nd Non-Consecutive Baggage Tag Licence Plate Number", 13},
};

// Each leg's repeated conditional items, in order.
const Item kRepeatedItems[] = {
    {"142", "Airline Numeric Code", 3},        {"143", "Document Form/Serial Number", 10},
    {"18", "Selectee indicator", 1},           {"108", "International Documentation Verification", 1},
    {"19", "Marketing carrier designator", 3}, {"20", "Frequent Flyer Airline Designator", 3},
    {"236", "Frequent Flyer Number", 16},      {"89", "ID/AD Indicator", 1},
    {"118", "Free Baggage Allowance", 3},      {"254", "Fast Track", 1},
};

// Reads items off the record in order, never beyond `end`.
struct Reader {
  const std::string& bytes;
  Document* document;
  size_t at = 0;
  bool cutShort = false;  // the record ended inside an item: warned about once

  // The item's bytes (fewer where `end` comes first), recorded as a field.
  std::string take(const Item& item, size_t end, int leg = 0) {
    end = std::min(end, bytes.size());
    size_t size = at < end ? std::min(item.size, end - at) : 0;
    std::string value = bytes.substr(std::min(at, bytes.size()), size);
    at += size;
    std::string name = item.name;
    if (leg > 0) name += " (leg " + std::to_string(leg) + ")";
    if (size < item.size && at >= bytes.size() && !cutShort) {
      cutShort = true;
      warn("the record ends inside " + name);
    }
    if (value.empty()) return value;
    document->fields.push_back(DocumentField{item.id, name, textOf(value), ""});
    return value;
  }

  // A hexadecimal size item; -1 when it is not one.
  long long takeSize(const Item& item, size_t end, int leg, const std::string& what) {
    std::string digits = take(item, end, leg);
    long long size = hexValue(digits);
    if (size < 0 && !digits.empty()) warn(what + ": size is not a hexadecimal number");
    return size;
  }

  // Items in order while the section lasts; a section may stop after any
  // item, or inside one, which then is read as far as it goes.
  template <size_t N>
  void takeSection(const Item (&items)[N], size_t end, int leg) {
    for (const Item& item : items) {
      if (at >= end) break;
      take(item, end, leg);
    }
  }

  // Bytes of a section beyond the items known, kept as one field.
  void finishSection(size_t end, int leg) {
    if (at < end) take({"", "unknown", end - at}, end, leg);
  }

  // The end of a section of `size` bytes from here, warned about and cut
  // back when it runs beyond `end`.
  size_t sectionEnd(long long size, size_t end, const std::string& what) {
    size_t available = at < end ? end - at : 0;
    if (size < 0) return at;
    if ((unsigned long long)size > available) {
      warn(what + ": size " + std::to_string(size) + " given, " + std::to_string(available) + " bytes left");
      return end;
    }
    return at + (size_t)size;
  }

  void warn(const std::string& text) { document->warnings.push_back(text); }
};

std::string legName(int leg) { return "leg " + std::to_string(leg); }

// The first leg's "> version, unique size, unique items".
void readVersionAndUnique(Reader* reader, size_t end) {
  reader->take({"8", "Beginning of version number", 1}, end);
  std::string version = reader->take({"9", "Version Number", 1}, end);
  long long number = decimalValue(version);
  if (number >= 0) reader->document->version = (int)number;
  if (number > kLatestVersion) reader->warn("version " + version + " is newer than " + std::to_string(kLatestVersion));
  if (reader->at >= end) return;
  long long size = reader->takeSize({"10", "Field size of following structured message - unique", 2}, end, 0,
                                    "unique conditional items");
  size_t sectionEnd = reader->sectionEnd(size, end, "unique conditional items");
  reader->takeSection(kUniqueItems, sectionEnd, 0);
  reader->finishSection(sectionEnd, 0);
}

// A leg's variable part: on the first leg the version and the unique
// items, then the repeated items, then the airline's own data.
void readVariablePart(Reader* reader, int leg, size_t end) {
  const std::string& bytes = reader->bytes;
  if (leg == 1 && reader->at < end) {
    if (bytes[reader->at] == '>')
      readVersionAndUnique(reader, end);
    else
      reader->warn("no version number marker '>'");
  }
  bool conditional = leg > 1 || reader->document->version.has_value();
  if (conditional && reader->at < end) {
    long long size = reader->takeSize({"17", "Field size of following structured message - repeated", 2}, end, leg,
                                      legName(leg) + " repeated conditional items");
    size_t sectionEnd = reader->sectionEnd(size, end, legName(leg) + " repeated conditional items");
    reader->takeSection(kRepeatedItems, sectionEnd, leg);
    reader->finishSection(sectionEnd, leg);
  }
  if (reader->at < end) reader->take({"4", "For individual airline use", end - reader->at}, end, leg);
}

SummaryValue trimmedText(const std::string& value) { return textValue(trimBoth(value)); }

// One leg's mandatory items and variable part; its summary object.
std::vector<SummaryItem> readLeg(Reader* reader, int leg) {
  static const char* const kKeys[kLegItemCount] = {"pnr",         "from",        "to",   "carrier",  "flight",
                                                   "day_of_year", "compartment", "seat", "sequence", "status"};
  std::vector<SummaryItem> summary;
  size_t end = reader->bytes.size();
  for (size_t k = 0; k < kLegItemCount; k++) {
    std::string value = reader->take(kLegItems[k], end, leg);
    SummaryValue summaryValue = trimmedText(value);
    if (k == 5) {
      long long day = decimalValue(trimBoth(value));
      if (day < 1 || day > 366) {
        if (!value.empty()) reader->warn(legName(leg) + ": date of flight is not a day of the year");
        summaryValue = nullValue();
      } else {
        summaryValue = numberValue(day);
      }
    }
    summary.push_back(SummaryItem{kKeys[k], summaryValue});
  }
  long long size =
      reader->takeSize({"6", "Field size of variable size field", 2}, end, leg, legName(leg) + " variable part");
  readVariablePart(reader, leg, reader->sectionEnd(size, end, legName(leg) + " variable part"));
  return summary;
}

void readSecurity(Reader* reader) {
  size_t end = reader->bytes.size();
  if (reader->at >= end) return;
  if (reader->bytes[reader->at] != '^') {
    reader->warn(std::to_string(end - reader->at) + " bytes after the last leg");
    reader->take({"", "unknown", end - reader->at}, end);
    return;
  }
  reader->take({"25", "Beginning of Security Data", 1}, end);
  reader->take({"28", "Type of Security Data", 1}, end);
  long long size = reader->takeSize({"29", "Length of Security Data", 2}, end, 0, "security data");
  if (size < 0) size = (long long)(end - std::min(reader->at, end));
  size_t sectionEnd = reader->sectionEnd(size, end, "security data");
  reader->take({"30", "Security Data", sectionEnd - std::min(reader->at, sectionEnd)}, sectionEnd);
  if (reader->at < end) {
    reader->warn(std::to_string(end - reader->at) + " bytes after the security data");
    reader->take({"", "unknown", end - reader->at}, end);
  }
}

}  // namespace

bool looksLikeBcbp(const std::string& bytes) {
  if (bytes.size() < kHeaderSize || bytes[0] != 'M' || bytes[1] < '1' || bytes[1] > '4') return false;
  for (size_t k = 2; k < 22; k++)
    if (bytes[k] < 0x20 || bytes[k] > 0x7E) return false;
  return bytes[22] == 'E' || bytes[22] == ' ';
}

Document parseBcbp(const std::string& bytes) {
  Document document;
  document.type = pdf417read::DocumentType::Bcbp;
  Reader reader{bytes, &document};
  size_t end = bytes.size();
  reader.take({"1", "Format Code", 1}, end);
  std::string legText = reader.take({"5", "Number of Legs Encoded", 1}, end);
  long long legs = decimalValue(legText);
  if (legs < 1 || legs > 4) {
    reader.warn("number of legs is not 1 to 4");
    legs = legs < 1 ? 1 : 4;
  }
  std::string name = reader.take({"11", "Passenger Name", 20}, end);
  std::string ticket = reader.take({"253", "Electronic Ticket Indicator", 1}, end);
  SummaryValue legList;
  legList.kind = SummaryValue::Kind::List;
  for (int leg = 1; leg <= legs; leg++) {
    if (reader.at >= end) {
      reader.warn("the record ends before " + legName(leg));
      break;
    }
    legList.list.push_back(readLeg(&reader, leg));
  }
  readSecurity(&reader);
  document.summary = {SummaryItem{"passenger_name", trimmedText(name)},
                      SummaryItem{"electronic_ticket", boolValue(ticket == "E")}, SummaryItem{"legs", legList}};
  return document;
}

}  // namespace pdf417read::detail
