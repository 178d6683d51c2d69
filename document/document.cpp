// The public parseDocument: which kind of record a message holds, told by
// how it begins, handed to that record's parser.
#include <pdf417read/pdf417read.h>

#include <exception>

#include "document/aamva.h"
#include "document/bcbp.h"
#include "document/iso15434.h"

namespace pdf417read {

using namespace detail;


const char* documentTypeName(DocumentType type) {
  switch (type) {
    case DocumentType::Aamva: return "aamva";
    case DocumentType::Bcbp: return "bcbp";
    case DocumentType::Iso15434: return "iso15434";
  }
  return "unknown";
}

std::optional<Document> parseDocument(const std::string& bytes) {
  try {
    if (looksLikeAamva(bytes)) return parseAamva(bytes);
    if (looksLikeBcbp(bytes)) return parseBcbp(bytes);
    if (looksLikeIso15434(bytes)) return parseIso15434(bytes);
  } catch (const std::exception&) {
    // Too little memory for a record's fields (the parsers check every
    // position they read, so nothing else throws): the message stays
    // without a document rather than the caller's program ending.
  }
  return std::nullopt;
}

}  // namespace pdf417read
