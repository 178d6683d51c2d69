#include "document/aamva_summary.h"

#include <cmath>
#include <optional>

#include "document/document_values.h"

namespace pdf417read::detail {

using pdf417read::DocumentField;
using pdf417read::SummaryItem;
using pdf417read::SummaryValue;

namespace {

// The elements of the card's DL (else ID) subfile, looked up by id.
class CardElements {
 public:
  CardElements(const std::vector<DocumentField>& fields) : fields_(fields) {
    for (const char* type : {"DL", "ID"}) {
      for (const DocumentField& field : fields)
        if (field.subfile == type) {
          type_ = type;
          return;
        }
    }
  }

  const std::string& type() const { return type_; }

  // The value with spaces trimmed; none when absent or empty.
  std::optional<std::string> value(const char* id) const {
    for (const DocumentField& field : fields_)
      if (field.id == id && field.subfile == type_) {
        std::string value = trimBoth(field.value);
        if (value.empty()) return std::nullopt;
        return value;
      }
    return std::nullopt;
  }

  // A name part: "NONE" means the card has none.
  std::optional<std::string> name(const char* id) const {
    std::optional<std::string> part = value(id);
    if (part && *part == "NONE") return std::nullopt;
    return part;
  }

 private:
  const std::vector<DocumentField>& fields_;
  std::string type_;
};

// Words separated by commas or spaces.
std::vector<std::string> nameWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + ",") {
    if (c == ',' || c == ' ') {
      if (!word.empty() && word != "NONE") words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

std::optional<std::string> joinWords(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  if (text.empty()) return std::nullopt;
  return text;
}

struct Name {
  std::optional<std::string> family;
  std::optional<std::string> given;
  std::optional<std::string> suffix;
};

std::optional<std::string> givenOf(const std::optional<std::string>& first, const std::optional<std::string>& middle) {
  std::vector<std::string> words;
  if (first) words.push_back(*first);
  if (middle) words.push_back(*middle);
  return joinWords(words);
}

// DAA's "LAST,FIRST,MIDDLE": parts separated by commas (spaces inside a
// part belong to it) or, without commas, by spaces.
std::vector<std::string> fullNameParts(const std::string& full) {
  char separator = full.find(',') != std::string::npos ? ',' : ' ';
  std::vector<std::string> parts;
  std::string part;
  for (char c : full + separator) {
    if (c != separator) {
      part += c;
      continue;
    }
    std::string trimmed = trimBoth(part);
    if (trimmed == "NONE") trimmed.clear();
    if (!trimmed.empty() || separator == ',') parts.push_back(trimmed);
    part.clear();
  }
  return parts;
}

std::optional<std::string> partAt(const std::vector<std::string>& parts, size_t k) {
  if (k >= parts.size() || parts[k].empty()) return std::nullopt;
  return parts[k];
}

// Version 1: DAA holds the full name; DAB, DAC and DAD, where present, say
// its parts on their own.
Name version1Name(const CardElements& card) {
  std::vector<std::string> parts = fullNameParts(card.value("DAA").value_or(""));
  std::optional<std::string> family = card.name("DAB") ? card.name("DAB") : partAt(parts, 0);
  std::optional<std::string> first = card.name("DAC") ? card.name("DAC") : partAt(parts, 1);
  std::vector<std::string> rest;
  for (size_t k = 2; k < parts.size(); k++)
    if (!parts[k].empty()) rest.push_back(parts[k]);
  std::optional<std::string> middle = card.name("DAD") ? card.name("DAD") : joinWords(rest);
  Name name;
  name.family = family;
  name.given = givenOf(first, middle);
  name.suffix = card.name("DAE");
  return name;
}

Name nameOf(const CardElements& card, int version) {
  if (version <= 1) return version1Name(card);
  Name name;
  name.family = card.name("DCS");
  name.suffix = card.name("DCU");
  std::optional<std::string> given = card.name("DCT");
  if (version <= 3 && given)
    name.given = joinWords(nameWords(*given));
  else
    name.given = givenOf(card.name("DAC"), card.name("DAD"));
  return name;
}

// US cards write MMDDCCYY, Canadian ones CCYYMMDD: a first pair of 19 or 20
// cannot be a month.
SummaryValue dateOf(const CardElements& card, const char* id, std::vector<std::string>* warnings) {
  std::optional<std::string> text = card.value(id);
  if (!text) return nullValue();
  std::optional<std::string> date;
  if (text->size() == 8 && decimalValue(*text) >= 0) {
    int first = (int)decimalValue(text->substr(0, 2));
    bool yearFirst = first == 19 || first == 20;
    int year = (int)decimalValue(yearFirst ? text->substr(0, 4) : text->substr(4, 4));
    int month = (int)decimalValue(text->substr(yearFirst ? 4 : 0, 2));
    int day = (int)decimalValue(text->substr(yearFirst ? 6 : 2, 2));
    date = calendarDate(year, month, day);
  }
  if (!date) warnings->push_back(std::string(id) + ": not a date");
  return optionalText(date);
}

SummaryValue sexOf(const CardElements& card, std::vector<std::string>* warnings) {
  std::optional<std::string> code = card.value("DBC");
  if (!code) return nullValue();
  if (*code == "1" || *code == "M") return textValue("M");
  if (*code == "2" || *code == "F") return textValue("F");
  if (*code == "9" || *code == "X") return textValue("X");
  if (*code != "0") warnings->push_back("DBC: unknown sex code");
  return nullValue();
}

long long centimetresOfInches(long long inches) { return std::lround((double)inches * 2.54); }

// How a plain number of a height element is taken.
enum class PlainHeight { Refused, Centimetres, FeetAndInches };

// "068 in", "175 cm", and version 1's feet and inches: "5-09", "5'09\"",
// "509". A plain number is in version 1's DAV centimetres or its DAU feet
// and inches; later versions always write the unit.
std::optional<long long> heightOf(const std::string& text, PlainHeight plain) {
  std::string lower;
  for (char c : text)
    if (c != ' ') lower += (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  size_t digits = lower.find_first_not_of("0123456789");
  std::string number = lower.substr(0, digits);
  std::string unit = digits == std::string::npos ? std::string() : lower.substr(digits);
  long long value = decimalValue(number);
  if (value < 0) return std::nullopt;
  if (unit == "in" || unit == "\"") return centimetresOfInches(value);
  if (unit == "cm") return value;
  if (unit.empty() && plain == PlainHeight::Centimetres) return value;
  if (unit.empty() && plain == PlainHeight::FeetAndInches && number.size() == 3 && value % 100 < 12)
    return centimetresOfInches(value / 100 * 12 + value % 100);
  bool feetMark = unit.size() > 1 && (unit[0] == '-' || unit[0] == '\'');
  if (!feetMark || number.size() != 1) return std::nullopt;
  std::string rest = unit.substr(1);
  if (!rest.empty() && rest.back() == '"') rest.pop_back();
  long long inches = decimalValue(rest);
  if (inches < 0 || inches >= 12) return std::nullopt;
  return centimetresOfInches(value * 12 + inches);
}

SummaryValue heightValue(const CardElements& card, int version, std::vector<std::string>* warnings) {
  bool version1 = version <= 1;
  const char* id = "DAU";
  std::optional<std::string> text = card.value(id);
  if (!text && version1) text = card.value(id = "DAV");
  if (!text) return nullValue();
  PlainHeight plain = !version1      ? PlainHeight::Refused
                      : id[2] == 'U' ? PlainHeight::FeetAndInches
                                     : PlainHeight::Centimetres;
  std::optional<long long> centimetres = heightOf(*text, plain);
  if (!centimetres) {
    warnings->push_back(std::string(id) + ": not a height");
    return nullValue();
  }
  return numberValue(*centimetres);
}

SummaryItem item(const char* key, SummaryValue value) { return SummaryItem{key, std::move(value)}; }

}  // namespace

std::vector<SummaryItem> aamvaSummary(const std::string& iin, int version, const std::vector<DocumentField>& fields,
                                      std::vector<std::string>* warnings) {
  CardElements card(fields);
  Name name = nameOf(card, version);
  return {
      item("issuer_iin", textValue(iin)),
      item("document_type", textValue(card.type())),
      item("family_name", optionalText(name.family)),
      item("given_names", optionalText(name.given)),
      item("name_suffix", optionalText(name.suffix)),
      item("date_of_birth", dateOf(card, "DBB", warnings)),
      item("issue_date", dateOf(card, "DBD", warnings)),
      item("expiry_date", dateOf(card, "DBA", warnings)),
      item("sex", sexOf(card, warnings)),
      item("document_number", optionalText(card.value("DAQ"))),
      item("street", optionalText(card.value("DAG"))),
      item("city", optionalText(card.value("DAI"))),
      item("state", optionalText(card.value("DAJ"))),
      item("postal_code", optionalText(card.value("DAK"))),
      item("country", optionalText(card.value("DCG"))),
      item("height_cm", heightValue(card, version, warnings)),
      item("eye_color", optionalText(card.value("DAY"))),
  };
}

}  // namespace pdf417read::detail
