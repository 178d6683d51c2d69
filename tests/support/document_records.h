// Test support: documents as the cards, passes and labels carry them, made
// field by field, for the document tests and the fuzz targets' seeds.
#ifndef PDF417_TESTS_SUPPORT_DOCUMENT_RECORDS_H
#define PDF417_TESTS_SUPPORT_DOCUMENT_RECORDS_H

#include <string>
#include <vector>

namespace pdf417read::detail {

struct AamvaSubfile {
  std::string type;                   // "DL", "ID", "ZV"
  std::vector<std::string> elements;  // "DAQT64235789", ...
};

// An AAMVA DL/ID record with a right header, offsets and lengths: "@" LF
// RS CR "ANSI ", the IIN, the version, the jurisdiction version (from
// version 2 on), the subfile designators, then each subfile ending in CR.
std::string aamvaRecord(int version, const std::vector<AamvaSubfile>& subfiles, const std::string& iin = "636000");

// A version 8 US licence (MMDDCCYY dates, height in inches, a ZV subfile).
std::string usLicenceRecord();

// A one-leg boarding pass without conditional items, and a two-leg one of
// version 5 with unique, repeated and airline items and security data.
std::string oneLegPass();
std::string twoLegPass();

// An ISO/IEC 15434 envelope with a format 06 and a format 05.
std::string shippingEnvelope();

struct NamedRecord {
  std::string name;
  std::string bytes;
};

// Every record above, an AAMVA card of each version 0 to 10 (US and
// Canadian), the US licence with each deviation real cards carry, named.
std::vector<NamedRecord> sampleDocumentRecords();

}  // namespace pdf417read::detail

#endif
