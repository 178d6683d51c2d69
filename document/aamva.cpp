#include "document/aamva.h"

#include <algorithm>
#include <vector>

#include "document/aamva_elements.h"
#include "document/aamva_summary.h"
#include "document/document_values.h"

namespace pdf417read::detail {

using pdf417read::Document;
using pdf417read::DocumentField;

namespace {

const char kLineFeed = '\n';
const char kRecordSeparator = '\x1e';
const char kCarriageReturn = '\r';
const size_t kFileTypeAt = 4;       // after "@", LF, RS, CR
const size_t kDesignatorSize = 10;  // type (2), offset (4), length (4)
// A count of entries beyond this is a misread header, not a card.
const int kMaxSubfiles = 20;

struct Header {
  std::string iin;
  int version = -1;
  int entries = 0;
  size_t designatorsAt = std::string::npos;  // npos: the header could not be read
};

struct Designator {
  std::string type;
  long offset = -1;
  long length = -1;
};

// A subfile found in the record: its elements lie from `begin` (just past its
// type) to `limit` (where the next subfile or the record begins or ends).
struct Subfile {
  Designator designator;
  size_t typeAt = 0;
  size_t begin = 0;
  size_t limit = 0;
};

bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

bool isUpperAt(const std::string& bytes, size_t at, size_t count) {
  if (at > bytes.size() || bytes.size() - at < count) return false;
  return std::all_of(bytes.begin() + (long)at, bytes.begin() + (long)(at + count), isUpper);
}

bool isDesignatorAt(const std::string& bytes, size_t at) {
  return isUpperAt(bytes, at, 1) && at + 1 < bytes.size() &&
         (isUpper(bytes[at + 1]) || (bytes[at + 1] >= '0' && bytes[at + 1] <= '9')) && digitsAt(bytes, at + 2, 8);
}

void expectByte(const std::string& bytes, size_t at, char expected, const char* name, Document* document) {
  if (at < bytes.size() && bytes[at] != expected)
    document->warnings.push_back("header: " + byteName((unsigned char)bytes[at]) + " in place of " + name);
}

// Where the issuer's IIN begins: after "ANSI " (or a tolerated variant).
size_t fileTypeEnd(const std::string& bytes, Document* document) {
  if (textAt(bytes, kFileTypeAt, "ANSI ")) return kFileTypeAt + 5;
  if (textAt(bytes, kFileTypeAt, "AAMVA")) {
    document->warnings.push_back("header: \"AAMVA\" in place of \"ANSI \"");
    return kFileTypeAt + 5;
  }
  if (textAt(bytes, kFileTypeAt, "ANSI")) {
    document->warnings.push_back("header: no space after \"ANSI\"");
    return kFileTypeAt + 4;
  }
  document->warnings.push_back("header: no file type \"ANSI \"");
  return std::string::npos;
}

// IIN, version, jurisdiction version (from version 2 on) and the number of
// entries. Cards that write the jurisdiction version in version 1, or leave
// it out later, are read by where their first designator lies.
Header readHeader(const std::string& bytes, Document* document) {
  Header header;
  expectByte(bytes, 1, kLineFeed, "LF", document);
  expectByte(bytes, 2, kRecordSeparator, "RS", document);
  expectByte(bytes, 3, kCarriageReturn, "CR", document);
  size_t at = fileTypeEnd(bytes, document);
  if (at == std::string::npos) return header;
  if (!digitsAt(bytes, at, 8)) {
    document->warnings.push_back("header: IIN and version are not digits");
    return header;
  }
  header.iin = bytes.substr(at, 6);
  header.version = (int)decimalValue(bytes.substr(at + 6, 2));
  bool jurisdictionVersion = header.version >= 2;
  size_t entriesAt = at + (jurisdictionVersion ? 10 : 8);
  size_t otherAt = at + (jurisdictionVersion ? 8 : 10);
  if (!isDesignatorAt(bytes, entriesAt + 2) && digitsAt(bytes, otherAt, 2) && isDesignatorAt(bytes, otherAt + 2)) {
    document->warnings.push_back(jurisdictionVersion ? "header: no jurisdiction version"
                                                     : "header: a jurisdiction version in a version 0 or 1 header");
    entriesAt = otherAt;
  }
  if (!digitsAt(bytes, entriesAt, 2)) {
    document->warnings.push_back("header: the number of entries is not a number");
    return header;
  }
  header.entries = (int)decimalValue(bytes.substr(entriesAt, 2));
  header.designatorsAt = entriesAt + 2;
  return header;
}

std::vector<Designator> readDesignators(const std::string& bytes, const Header& header, Document* document) {
  std::vector<Designator> designators;
  int entries = std::min(header.entries, kMaxSubfiles);
  for (int k = 0; k < entries; k++) {
    size_t at = header.designatorsAt + kDesignatorSize * (size_t)k;
    if (!isDesignatorAt(bytes, at)) {
      document->warnings.push_back("header: subfile designator " + std::to_string(k + 1) + " cannot be read");
      break;
    }
    Designator designator;
    designator.type = bytes.substr(at, 2);
    designator.offset = (long)decimalValue(bytes.substr(at + 2, 4));
    designator.length = (long)decimalValue(bytes.substr(at + 6, 4));
    designators.push_back(designator);
  }
  return designators;
}

// Where a subfile's type stands followed by an element id, searched from
// `from`; npos when nowhere.
size_t findSubfileType(const std::string& bytes, const std::string& type, size_t from) {
  for (size_t at = bytes.find(type, from); at != std::string::npos; at = bytes.find(type, at + 1))
    if (isUpperAt(bytes, at + 2, 3)) return at;
  return std::string::npos;
}

// Each designated subfile where its offset says, else where its type
// stands; in the record's order, each bounded by the next.
std::vector<Subfile> locateSubfiles(const std::string& bytes, const std::vector<Designator>& designators,
                                    size_t searchFrom, Document* document) {
  std::vector<Subfile> subfiles;
  for (const Designator& designator : designators) {
    Subfile subfile;
    subfile.designator = designator;
    size_t offset = (size_t)designator.offset;
    if (offset >= searchFrom && textAt(bytes, offset, designator.type)) {
      subfile.typeAt = offset;
    } else {
      subfile.typeAt = findSubfileType(bytes, designator.type, searchFrom);
      if (subfile.typeAt == std::string::npos && offset >= searchFrom && offset < bytes.size()) {
        // Another type where the offset points: the offset is the better guess.
        document->warnings.push_back("subfile " + designator.type + ": another type at offset " +
                                     std::to_string(designator.offset) + ", read from there");
        subfile.typeAt = offset;
      } else if (subfile.typeAt == std::string::npos) {
        document->warnings.push_back("subfile " + designator.type + " not found");
        continue;
      } else {
        document->warnings.push_back("subfile " + designator.type + ": offset " + std::to_string(designator.offset) +
                                   " is wrong, found by its type at " + std::to_string(subfile.typeAt));
      }
    }
    subfile.begin = std::min(subfile.typeAt + 2, bytes.size());
    subfiles.push_back(subfile);
  }
  std::sort(subfiles.begin(), subfiles.end(), [](const Subfile& a, const Subfile& b) { return a.typeAt < b.typeAt; });
  for (size_t k = 0; k < subfiles.size(); k++)
    subfiles[k].limit = k + 1 < subfiles.size() ? std::max(subfiles[k].begin, subfiles[k + 1].typeAt) : bytes.size();
  return subfiles;
}

// Without designators, the DL or ID subfile found by its type.
std::vector<Subfile> guessSubfiles(const std::string& bytes, size_t searchFrom, Document* document) {
  for (const char* type : {"DL", "ID"}) {
    size_t at = findSubfileType(bytes, type, searchFrom);
    if (at == std::string::npos) continue;
    document->warnings.push_back(std::string("no subfile designators; subfile ") + type + " found by its type");
    Subfile subfile;
    subfile.designator.type = type;
    subfile.typeAt = at;
    subfile.begin = at + 2;
    subfile.limit = bytes.size();
    return {subfile};
  }
  document->warnings.push_back("no DL or ID subfile found");
  return {};
}

// Deviations met while reading elements: each is warned about once.
struct Quirks {
  bool crLf = false;
  std::vector<std::string> trailingSpaces;
  std::vector<std::string> undefined;
  std::vector<std::string> tooShort;
};

std::string joined(const std::vector<std::string>& ids) {
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : ", ") + id;
  return text;
}

void addElement(const std::string& token, const Subfile& subfile, int version, Quirks* quirks, Document* document) {
  const std::string& type = subfile.designator.type;
  if (token.size() < 3) {
    if (std::find(quirks->tooShort.begin(), quirks->tooShort.end(), type) == quirks->tooShort.end())
      quirks->tooShort.push_back(type);
    return;
  }
  DocumentField field;
  field.id = textOf(token.substr(0, 3));
  field.value = textOf(token.substr(3));
  field.subfile = textOf(type);
  const char* name = nullptr;
  if (type[0] == 'Z') {
    name = "jurisdiction-defined";
  } else {
    name = aamvaElementName(field.id, version);
    if (!name) {
      name = "unknown";
      quirks->undefined.push_back(field.id);
    }
  }
  field.name = name;
  // The postal code is a fixed-width field, padded with spaces by the standard.
  if (field.id != "DAK" && !field.value.empty() && field.value.back() == ' ')
    quirks->trailingSpaces.push_back(field.id);
  document->fields.push_back(std::move(field));
}

// The elements of one subfile: LF-separated, up to its CR. A CR followed by
// LF is a separator (CR LF); a missing CR ends the subfile where the next
// one or the record begins.
void readSubfile(const std::string& bytes, const Subfile& subfile, int version, Quirks* quirks, Document* document) {
  const std::string& type = subfile.designator.type;
  size_t at = subfile.begin;
  size_t end = std::string::npos;
  while (at < subfile.limit) {
    size_t stop = at;
    while (stop < subfile.limit && bytes[stop] != kLineFeed && bytes[stop] != kCarriageReturn) stop++;
    if (stop > at) addElement(bytes.substr(at, stop - at), subfile, version, quirks, document);
    if (stop < subfile.limit && bytes[stop] == kCarriageReturn) {
      if (stop + 1 < subfile.limit && bytes[stop + 1] == kLineFeed) {
        quirks->crLf = true;
        at = stop + 2;
        continue;
      }
      end = stop + 1;
      break;
    }
    at = stop + 1;
  }
  if (end == std::string::npos) {
    document->warnings.push_back("subfile " + type + ": no final CR");
    end = std::min(at, subfile.limit);
  }
  long length = (long)(end - subfile.typeAt);
  if (subfile.designator.length >= 0 && subfile.designator.length != length)
    document->warnings.push_back("subfile " + type + ": length " + std::to_string(subfile.designator.length) +
                                 " given, " + std::to_string(length) + " read");
}

void warnQuirks(const Quirks& quirks, int version, Document* document) {
  if (quirks.crLf) document->warnings.push_back("elements separated by CR LF");
  if (!quirks.trailingSpaces.empty())
    document->warnings.push_back("trailing spaces in " + joined(quirks.trailingSpaces));
  if (!quirks.undefined.empty())
    document->warnings.push_back("elements not defined in version " + std::to_string(version) + ": " +
                                 joined(quirks.undefined));
  if (!quirks.tooShort.empty())
    document->warnings.push_back("elements shorter than an id in subfile " + joined(quirks.tooShort));
}

}  // namespace

bool looksLikeAamva(const std::string& bytes) {
  if (bytes.size() < 4 || bytes[0] != '@') return false;
  if (bytes[1] == kLineFeed && bytes[3] == kCarriageReturn) return true;
  return textAt(bytes, kFileTypeAt, "ANSI") || textAt(bytes, kFileTypeAt, "AAMVA");
}

Document parseAamva(const std::string& bytes) {
  Document document;
  document.type = pdf417read::DocumentType::Aamva;
  Header header = readHeader(bytes, &document);
  if (header.version >= 0) document.version = header.version;
  if (header.version > 10)
    document.warnings.push_back("version " + std::to_string(header.version) +
                                " is newer than 10; read with version 10's elements");
  std::vector<Designator> designators;
  if (header.designatorsAt != std::string::npos) designators = readDesignators(bytes, header, &document);
  size_t searchFrom = header.designatorsAt == std::string::npos
                          ? kFileTypeAt
                          : header.designatorsAt + kDesignatorSize * designators.size();
  std::vector<Subfile> subfiles = designators.empty() ? guessSubfiles(bytes, searchFrom, &document)
                                                      : locateSubfiles(bytes, designators, searchFrom, &document);
  int elementVersion = header.version < 0 ? 10 : header.version;
  Quirks quirks;
  for (const Subfile& subfile : subfiles) readSubfile(bytes, subfile, elementVersion, &quirks, &document);
  warnQuirks(quirks, elementVersion, &document);
  document.summary = aamvaSummary(header.iin, elementVersion, document.fields, &document.warnings);
  return document;
}

}  // namespace pdf417read::detail
