#include "support/document_records.h"

#include <cstdio>

static std::string digits(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value);
  return text;
}

std::string aamvaRecord(int version, const std::vector<AamvaSubfile>& subfiles, const std::string& iin) {
  std::string header = "@\n\x1e\rANSI " + iin + digits(version, 2) + (version >= 2 ? "01" : "") +
                       digits((int)subfiles.size(), 2);
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
  return aamvaRecord(8, {{"DL", {"DAQT64235789", "DCSSAMPLE", "DDEN", "DACMICHAEL", "DDFN", "DADJOHN", "DDGN",
                                 "DCUJR", "DCAD", "DCBK", "DCDPH", "DBD06062016", "DBB06061986", "DBA12102024",
                                 "DBC1", "DAU068 in", "DAYBRO", "DAG2300 WEST BROAD STREET", "DAIRICHMOND", "DAJVA",
                                 "DAK232690000  ", "DCF2424244747474786102204", "DCGUSA", "DDAF", "DDD1"}},
                         {"ZV", {"ZVA01"}}});
}

std::string oneLegPass() { return "M1DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J001A0025 100"; }

std::string twoLegPass() {
  return "M2DESMARAIS/LUC       EABC123 YULFRAAC 0834 326J003A0027 167>5321WW1325BAC 0014123456002001412346700"
         "100141234789012A0141234567890 1AC AC 1234567890123    4PCYLX58ZDEF456 FRAGVALH 3664 327C012C0002 12E2A0"
         "140987654321 1AC AC 1234567890123    3PCNWQ^10AGIWVC5EH7J";
}

std::string shippingEnvelope() {
  return "[)>\x1e" "06\x1dP1234\x1dQ10\x1d" "1JUN123456789\x1d" "25SUN043325711\x1e" "05\x1d" "0109501101530003\x1d"
         "10ABC\x1e\x04";
}

std::vector<NamedRecord> sampleDocumentRecords() {
  return {
      {"aamva-v8", usLicenceRecord()},
      {"aamva-v1", aamvaRecord(1, {{"DL", {"DAQ1234567", "DAASMITH,JOHN,QUINCY", "DBB19800229", "DBCM", "DAU5-09"}}})},
      {"aamva-v3-id", aamvaRecord(3, {{"ID", {"DAQ99", "DCSTREMBLAY", "DCTMARIE,CLAIRE", "DBB19750315", "DBC2",
                                              "DAU165 cm", "DCGCAN"}}}, "636012")},
      {"bcbp-1", oneLegPass()},
      {"bcbp-2", twoLegPass()},
      {"iso15434", shippingEnvelope()},
  };
}
