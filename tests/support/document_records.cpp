#include "support/document_records.h"

#include <cstdio>

namespace pdf417read::detail {

static std::string digits(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

std::string aamvaRecord(int version, const std::vector<AamvaSubfile>& subfiles, const std::string& iin) {
  std::string header =
      "@\n\x1e\rANSI " + iin + digits(version, 2) + (version >= 2 ? "01" : "") + digits((int)subfiles.size(), 2);
  size_t offset = header.size() + 10 * subfiles.size();
  std::string designators, body;
  for (const AamvaSubfile& subfile : subfiles) {
    std::string data = subfile.type;
    for (size_t k = 0; k < subfile.elements.size(); k++) data += (k ? "\n" : "") + subfile.elements[k];
    data += "\r";
    designators += subfile.type + digits((int)(offset + body.size()), 4) + digits((int)data.size(), 4);
    body += data;
  }
  return header + designators + body;
}

std::string usLicenceRecord() {
  return aamvaRecord(8, {{"DL",
                          {"DAQT64235789",
                           "DCSSAMPLE",
                           "DDEN",
                           "DACMICHAEL",
                           "DDFN",
                           "DADJOHN",
                           "DDGN",
                           "DCUJR",
                           "DCAD",
                           "DCBK",
                           "DCDPH",
                           "DBD06062016",
                           "DBB06061986",
                           "DBA12102024",
                           "DBC1",
                           "DAU068 in",
                           "DAYBRO",
                           "DAG2300 WEST BROAD STREET",
                           "DAIRICHMOND",
                           "DAJVA",
                           "DAK232690000  ",
                           "DCF2424244747474786102204",
                           "DCGUSA",
                           "DDAF",
                           "DDD1"}},
                         {"ZV", {"ZVA01"}}});
}

std::string oneLegPass() { return "M1DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J001A0025 100"; }

std::string twoLegPass() {
  return "M2DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J003A0027 167>5321WW1325BAC 0014123456002001412346700"
         "100141234789012A0141234567890 1AC AC 1234567890123    4PCYLX58ZDEF456 FRAGVALH 3664 327C012C0002 12E2A0"
         "140987654321 1AC AC 1234567890123    3PCNWQ^10AGIWVC5EH7J";
}

std::string shippingEnvelope() {
  return "[)>\x1e"
         "06\x1dP1234\x1dQ10\x1d"
         "1JUN123456789\x1d"
         "25SUN043325711\x1e"
         "05\x1d"
         "0109501101530003\x1d"
         "10ABC\x1e\x04";
}

// A card of each version: names as the version writes them, US dates
// (MMDDCCYY) on even versions, Canadian ones (CCYYMMDD) on odd ones.
static std::string cardOfVersion(int version) {
  bool canadian = version % 2 == 1;
  std::vector<std::string> elements = {"DAQ" + digits(1000 + version, 7), canadian ? "DBB19750315" : "DBB03151975",
                                       "DBC2", canadian ? "DAU165 cm" : "DAU065 in"};
  if (version <= 1) {
    elements.push_back("DAAROY,MARIE,CLAIRE");
  } else if (version <= 3) {
    elements.insert(elements.end(), {"DCSROY", "DCTMARIE,CLAIRE"});
  } else {
    elements.insert(elements.end(), {"DCSROY", "DACMARIE", "DADCLAIRE", canadian ? "DCGCAN" : "DCGUSA"});
  }
  return aamvaRecord(version, {{"DL", elements}}, canadian ? "636012" : "636000");
}

// The US licence with one deviation real cards carry.
static std::string quirkyLicence(const std::string& from, const std::string& to) {
  std::string bytes = usLicenceRecord();
  size_t at = bytes.find(from);
  if (at != std::string::npos) bytes.replace(at, from.size(), to);
  return bytes;
}

std::vector<NamedRecord> sampleDocumentRecords() {
  std::vector<NamedRecord> records;
  for (int version = 0; version <= 10; version++)
    records.push_back({"aamva-v" + std::to_string(version), cardOfVersion(version)});
  std::string crLf = usLicenceRecord();
  for (size_t at = crLf.find('\n', 2); at != std::string::npos; at = crLf.find('\n', at + 2)) crLf.insert(at, "\r");
  std::vector<NamedRecord> more = {
      {"aamva-separator", quirkyLicence("\x1e", "\x1c")},
      {"aamva-aamva", quirkyLicence("ANSI ", "AAMVA")},
      {"aamva-offset", quirkyLicence("DL0041", "DL0050")},
      {"aamva-length", quirkyLicence("DL00410", "DL00411")},
      {"aamva-type", quirkyLicence("DLDAQ", "DXDAQ")},
      {"aamva-no-jurisdiction-version", quirkyLicence("080102", "0802")},
      {"aamva-no-cr", usLicenceRecord().substr(0, usLicenceRecord().size() - 1)},
      {"aamva-crlf", crLf},
      {"aamva-spaces", quirkyLicence("DACMICHAEL", "DACMICHAEL  ")},
      {"aamva-undefined", quirkyLicence("DDAF", "DZZF")},
      {"aamva-us", usLicenceRecord()},
      {"aamva-id",
       aamvaRecord(3, {{"ID", {"DAQ99", "DCSTREMBLAY", "DCTMARIE,CLAIRE", "DBB19750315", "DBC2"}}}, "636012")},
      {"bcbp-1", oneLegPass()},
      {"bcbp-2", twoLegPass()},
      {"iso15434", shippingEnvelope()},
  };
  records.insert(records.end(), more.begin(), more.end());
  return records;
}

}  // namespace pdf417read::detail
