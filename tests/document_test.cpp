// Documents parsed from a message's bytes through parseDocument: AAMVA
// DL/ID cards of every layout and the deviations real cards carry, IATA
// boarding passes, ISO/IEC 15434 envelopes, and bytes that are none of them
// or break off.
#include <gtest/gtest.h>
#include <pdf417read/pdf417read.h>

#include <optional>
#include <string>
#include <vector>

#include "support/document_records.h"

using namespace pdf417read::detail;

namespace {

using pdf417read::Document;
using pdf417read::DocumentType;
using pdf417read::SummaryItem;
using pdf417read::SummaryValue;

// A summary value as JSON would write it: "null", "true", 173, "text".
std::string shown(const SummaryValue& value) {
  switch (value.kind) {
    case SummaryValue::Kind::Null: return "null";
    case SummaryValue::Kind::Text: return value.text;
    case SummaryValue::Kind::Number: return std::to_string(value.number);
    case SummaryValue::Kind::Bool: return value.flag ? "true" : "false";
    case SummaryValue::Kind::List: return "list of " + std::to_string(value.list.size());
  }
  return "?";
}

const SummaryValue* find(const std::vector<SummaryItem>& items, const std::string& key) {
  for (const SummaryItem& item : items)
    if (item.key == key) return &item.value;
  return nullptr;
}

std::string summary(const Document& document, const std::string& key) {
  const SummaryValue* value = find(document.summary, key);
  return value ? shown(*value) : "missing";
}

std::string warnings(const Document& document) {
  std::string text;
  for (const std::string& warning : document.warnings) text += warning + "; ";
  return text;
}

Document parsed(const std::string& bytes) {
  std::optional<Document> document = pdf417read::parseDocument(bytes);
  EXPECT_TRUE(document.has_value());
  return document.value_or(Document());
}

// A DL subfile holding the elements given and a document number.
Document card(int version, std::vector<std::string> elements) {
  elements.insert(elements.begin(), "DAQ123");
  return parsed(aamvaRecord(version, {{"DL", elements}}));
}

TEST(AamvaDocument, ReadsAUsLicence) {
  Document document = parsed(usLicenceRecord());
  EXPECT_EQ(document.type, DocumentType::Aamva);
  EXPECT_EQ(document.version, 8);
  EXPECT_EQ(warnings(document), "");
  const char* const expected[][2] = {{"issuer_iin", "636000"},
                                     {"document_type", "DL"},
                                     {"family_name", "SAMPLE"},
                                     {"given_names", "MICHAEL JOHN"},
                                     {"name_suffix", "JR"},
                                     {"date_of_birth", "1986-06-06"},
                                     {"issue_date", "2016-06-06"},
                                     {"expiry_date", "2024-12-10"},
                                     {"sex", "M"},
                                     {"document_number", "T64235789"},
                                     {"street", "2300 WEST BROAD STREET"},
                                     {"city", "RICHMOND"},
                                     {"state", "VA"},
                                     {"postal_code", "232690000"},
                                     {"country", "USA"},
                                     {"height_cm", "173"},
                                     {"eye_color", "BRO"}};
  ASSERT_EQ(document.summary.size(), sizeof expected / sizeof expected[0]);
  for (size_t k = 0; k < document.summary.size(); k++) {
    EXPECT_EQ(document.summary[k].key, expected[k][0]);
    EXPECT_EQ(shown(document.summary[k].value), expected[k][1]) << expected[k][0];
  }
  ASSERT_EQ(document.fields.size(), 26u);
  EXPECT_EQ(document.fields[0].id, "DAQ");
  EXPECT_EQ(document.fields[0].name, "Customer ID Number");
  EXPECT_EQ(document.fields[0].subfile, "DL");
  EXPECT_EQ(document.fields.back().subfile, "ZV");
  EXPECT_EQ(document.fields.back().value, "01");
}

TEST(AamvaDocument, NamesByVersion) {
  struct Case {
    int version;
    std::vector<std::string> elements;
    const char* family;
    const char* given;
    const char* suffix;
  };
  const Case cases[] = {
      {1, {"DAASMITH,JOHN,QUINCY ADAMS", "DAEJR"}, "SMITH", "JOHN QUINCY ADAMS", "JR"},
      {1, {"DAASMITH JOHN Q"}, "SMITH", "JOHN Q", "null"},
      {1, {"DAASMITH,JOHN", "DABSMYTHE", "DADPAUL"}, "SMYTHE", "JOHN PAUL", "null"},
      {0, {"DAADOE,JANE,NONE"}, "DOE", "JANE", "null"},
      {2, {"DCSDOE", "DCTJANE,MARY"}, "DOE", "JANE MARY", "null"},
      {3, {"DCSDOE", "DCTJANE MARY  ", "DCUIII"}, "DOE", "JANE MARY", "III"},
      {4, {"DCSDOE", "DACJANE", "DADNONE"}, "DOE", "JANE", "null"},
      {10, {"DCSO'BRIEN", "DACANNE", "DADMARIE LOUISE"}, "O'BRIEN", "ANNE MARIE LOUISE", "null"},
  };
  for (const Case& c : cases) {
    Document document = card(c.version, c.elements);
    EXPECT_EQ(document.version, c.version);
    EXPECT_EQ(summary(document, "family_name"), c.family) << c.elements[1];
    EXPECT_EQ(summary(document, "given_names"), c.given) << c.elements[1];
    EXPECT_EQ(summary(document, "name_suffix"), c.suffix) << c.elements[1];
  }
}

TEST(AamvaDocument, DatesInEitherOrderAndImpossibleOnes) {
  const char* const cases[][2] = {
      {"03151975", "1975-03-15"},  // US: MMDDCCYY
      {"19750315", "1975-03-15"},  // Canada: CCYYMMDD
      {"20000229", "2000-02-29"}, {"02292000", "2000-02-29"}, {"02291900", "null"}, {"20231301", "null"},
      {"13012023", "null"},       {"0315197", "null"},        {"031519X5", "null"},
  };
  for (const auto& c : cases) {
    Document document = card(8, {std::string("DBB") + c[0]});
    EXPECT_EQ(summary(document, "date_of_birth"), c[1]) << c[0];
    bool warned = warnings(document).find("DBB: not a date") != std::string::npos;
    EXPECT_EQ(warned, std::string(c[1]) == "null") << c[0];
  }
}

TEST(AamvaDocument, SexAndHeight) {
  const char* const sexes[][2] = {{"1", "M"}, {"2", "F"}, {"9", "X"},    {"M", "M"},
                                  {"F", "F"}, {"X", "X"}, {"0", "null"}, {"Q", "null"}};
  for (const auto& c : sexes) EXPECT_EQ(summary(card(8, {std::string("DBC") + c[0]}), "sex"), c[1]) << c[0];
  struct Height {
    int version;
    const char* element;
    const char* centimetres;
  };
  const Height heights[] = {
      {8, "DAU068 in", "173"}, {8, "DAU 70 IN", "178"}, {8, "DAU175 cm", "175"}, {8, "DAU068", "null"},
      {1, "DAU5-09", "175"},   {1, "DAU509", "175"},    {1, "DAU5'11\"", "180"}, {1, "DAV180", "180"},
      {1, "DAU5-13", "null"},  {8, "DAUtall", "null"},
  };
  for (const Height& h : heights) {
    Document document = card(h.version, {h.element});
    EXPECT_EQ(summary(document, "height_cm"), h.centimetres) << h.element;
    bool warned = warnings(document).find("not a height") != std::string::npos;
    EXPECT_EQ(warned, std::string(h.centimetres) == "null") << h.element;
  }
}

TEST(AamvaDocument, AnIdCardAndItsElementNamesByVersion) {
  Document id = parsed(aamvaRecord(3, {{"ID", {"DAQ99", "DCSROY", "DCHNONE", "DDEN", "DXYZ"}}, {"ZC", {"ZCA1"}}}));
  EXPECT_EQ(summary(id, "document_type"), "ID");
  ASSERT_EQ(id.fields.size(), 6u);
  EXPECT_EQ(id.fields[2].name, "Federal Commercial Vehicle Codes");
  EXPECT_EQ(id.fields[3].name, "unknown");  // the truncation flags came with version 4
  EXPECT_EQ(id.fields[4].name, "unknown");
  EXPECT_EQ(id.fields[5].name, "jurisdiction-defined");
  EXPECT_EQ(id.fields[5].subfile, "ZC");
  EXPECT_EQ(warnings(id), "elements not defined in version 3: DDE, DXY; ");
  Document version1 = card(1, {"DAASMITH,JOHN"});
  EXPECT_EQ(version1.fields[0].name, "Driver License/ID Number");
  EXPECT_EQ(version1.fields[1].name, "Driver License Name");
}

// Each deviation from the standard that real cards carry: the card is read
// all the same, with a warning naming it.
TEST(AamvaDocument, ToleratesWhatRealCardsDoWithAWarningEach) {
  const char* const expected[][2] = {
      {"aamva-separator", "header: 0x1C in place of RS"},
      {"aamva-aamva", "header: \"AAMVA\" in place of \"ANSI \""},
      {"aamva-offset", "subfile DL: offset 50 is wrong, found by its type at 41"},
      {"aamva-length", "subfile DL: length 1"},
      {"aamva-type", "subfile DL: another type at offset 41, read from there"},
      {"aamva-no-jurisdiction-version", "header: no jurisdiction version"},
      {"aamva-no-cr", "subfile ZV: no final CR"},
      {"aamva-spaces", "trailing spaces in DAC"},
      {"aamva-undefined", "elements not defined in version 8: DZZ"},
      {"aamva-crlf", "elements separated by CR LF"},
  };
  int tried = 0;
  for (const NamedRecord& record : sampleDocumentRecords())
    for (const auto& quirk : expected) {
      if (record.name != quirk[0]) continue;
      tried++;
      Document document = parsed(record.bytes);
      EXPECT_NE(warnings(document).find(quirk[1]), std::string::npos) << quirk[1] << " in " << warnings(document);
      EXPECT_EQ(summary(document, "document_number"), "T64235789") << quirk[0];
      EXPECT_EQ(summary(document, "given_names"), "MICHAEL JOHN") << quirk[0];
      EXPECT_EQ(summary(document, "height_cm"), "173") << quirk[0];
    }
  EXPECT_EQ(tried, 10);
}

TEST(AamvaDocument, EveryVersionUsAndCanadian) {
  for (const NamedRecord& record : sampleDocumentRecords()) {
    if (record.name.compare(0, 7, "aamva-v") != 0) continue;
    Document document = parsed(record.bytes);
    EXPECT_EQ(warnings(document), "") << record.name;
    EXPECT_EQ(summary(document, "family_name") + "/" + summary(document, "given_names"), "ROY/MARIE CLAIRE")
        << record.name;
    EXPECT_EQ(summary(document, "date_of_birth"), "1975-03-15") << record.name;
    EXPECT_EQ(summary(document, "sex"), "F") << record.name;
    EXPECT_EQ(summary(document, "height_cm"), "165") << record.name;
  }
}

TEST(BoardingPassDocument, OneLegWithoutConditionalItems) {
  Document pass = parsed(oneLegPass());
  EXPECT_EQ(pass.type, DocumentType::Bcbp);
  EXPECT_FALSE(pass.version.has_value());
  EXPECT_EQ(warnings(pass), "");
  EXPECT_EQ(summary(pass, "passenger_name"), "DESMARAIS/LUC");
  EXPECT_EQ(summary(pass, "electronic_ticket"), "true");
  const SummaryValue* legs = find(pass.summary, "legs");
  ASSERT_TRUE(legs && legs->list.size() == 1);
  std::string leg;
  for (const SummaryItem& item : legs->list[0]) leg += item.key + "=" + shown(item.value) + " ";
  EXPECT_EQ(leg,
            "pnr=ABC123 from=YUL to=FRA carrier=AC flight=0834 day_of_year=326 compartment=J seat=001A "
            "sequence=0025 status=1 ");
}

TEST(BoardingPassDocument, TwoLegsWithConditionalItemsAndSecurityData) {
  Document pass = parsed(twoLegPass());
  EXPECT_EQ(pass.version, 5);
  EXPECT_EQ(warnings(pass), "");
  const SummaryValue* legs = find(pass.summary, "legs");
  ASSERT_TRUE(legs && legs->list.size() == 2);
  EXPECT_EQ(shown(*find(legs->list[1], "from")), "FRA");
  EXPECT_EQ(shown(*find(legs->list[1], "carrier")), "LH");
  EXPECT_EQ(shown(*find(legs->list[1], "day_of_year")), "327");
  std::string items;
  for (const pdf417read::DocumentField& field : pass.fields)
    if (field.id == "236" || field.id == "4" || field.id == "30" || field.id == "23") items += field.value + "|";
  EXPECT_EQ(items, "0014123456002|1234567890123   |LX58Z|1234567890123   |WQ|GIWVC5EH7J|");
}

TEST(BoardingPassDocument, SizesThatDisagreeAreWarnedAndReadAsFarAsTheyGo) {
  std::string pass = twoLegPass();
  std::string longVariable = pass;
  longVariable.replace(58, 2, "FF");  // the first leg's variable part
  Document document = parsed(longVariable);
  EXPECT_NE(warnings(document).find("leg 1 variable part: size 255 given"), std::string::npos) << warnings(document);
  EXPECT_EQ(document.version, 5);
  std::string notHex = pass;
  notHex.replace(63, 2, "ZZ");  // the unique items' size
  document = parsed(notHex);
  EXPECT_NE(warnings(document).find("not a hexadecimal number"), std::string::npos) << warnings(document);
  EXPECT_EQ(shown(*find(find(document.summary, "legs")->list[1], "to")), "GVA");
}

TEST(EnvelopeDocument, FormatsWithDataIdentifiersAndGs1Elements) {
  Document envelope = parsed(shippingEnvelope());
  EXPECT_EQ(envelope.type, DocumentType::Iso15434);
  EXPECT_FALSE(envelope.version.has_value());
  EXPECT_EQ(warnings(envelope), "");
  const SummaryValue* formats = find(envelope.summary, "formats");
  ASSERT_TRUE(formats && formats->list.size() == 2);
  std::string read;
  for (const std::vector<SummaryItem>& format : formats->list) {
    read += shown(*find(format, "format")) + ":";
    for (const std::vector<SummaryItem>& field : find(format, "fields")->list)
      read += " " + shown(*find(field, "id")) + "=" + shown(*find(field, "value"));
    read += "; ";
  }
  EXPECT_EQ(read, "06: P=1234 Q=10 1J=UN123456789 25S=UN043325711; 05: 01=09501101530003 10=ABC; ");
  EXPECT_EQ(envelope.fields.size(), 6u);
  Document gs1 = parsed(
      "[)>\x1e"
      "05\x1d"
      "0109501101530003172512311012AB\x1d"
      "8X\x1e\x04");
  std::string elements;
  for (const pdf417read::DocumentField& field : gs1.fields) elements += field.id + "=" + field.value + " ";
  EXPECT_EQ(elements, "01=09501101530003 17=251231 10=12AB =8X ");
  EXPECT_EQ(warnings(gs1), "format 05: elements without a known application identifier; ");
  Document unended = parsed(
      "[)>\x1e"
      "12\x1d"
      "1PABC");
  EXPECT_EQ(warnings(unended), "format 12 does not end with RS; no EOT at the end; ");
}

TEST(Document, PlainMessagesAreNone) {
  for (const char* text : {"", "Hello", "@home", "@\n", "M1", "M1 hello world, this is a note",
                           "M5DESMARAIS/LUC       E", "[)", "ANSI 636000", "1JUN123456789"})
    EXPECT_FALSE(pdf417read::parseDocument(text).has_value()) << text;
}

// Every record cut short, and with bytes changed, still gives a document
// of its type that says what went wrong; none crashes.
TEST(Document, TruncatedAndDamagedRecordsGiveWhatCanBeRead) {
  for (const NamedRecord& record : sampleDocumentRecords()) {
    DocumentType type = parsed(record.bytes).type;
    size_t minimum = type == DocumentType::Bcbp ? 23 : 4;
    for (size_t length = minimum; length < record.bytes.size(); length++) {
      std::optional<Document> document = pdf417read::parseDocument(record.bytes.substr(0, length));
      ASSERT_TRUE(document.has_value()) << record.name << " cut at " << length;
      EXPECT_EQ(document->type, type);
      bool whole = record.bytes[length] == '^';  // a pass without its security data
      EXPECT_NE(document->warnings.empty(), !whole) << record.name << " cut at " << length;
    }
    for (size_t at = 0; at < record.bytes.size(); at++)
      for (char byte : {'\n', '\r', '\x1e', '^', '9'}) {
        std::string damaged = record.bytes;
        damaged[at] = byte;
        pdf417read::parseDocument(damaged);
      }
  }
}

}  // namespace
