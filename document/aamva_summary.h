// What an AAMVA card says, from the elements of its DL or ID subfile: names
// by the card's version, dates in either order, sex, height and address.
#ifndef PDF417_DOCUMENT_AAMVA_SUMMARY_H
#define PDF417_DOCUMENT_AAMVA_SUMMARY_H

#include <pdf417read/pdf417read.h>

#include <string>
#include <vector>

namespace pdf417read::detail {

// The summary of a record of `version` whose elements are `fields`; what
// cannot be read is warned about in `warnings` and left null.
std::vector<pdf417read::SummaryItem> aamvaSummary(const std::string& iin, int version,
                                                  const std::vector<pdf417read::DocumentField>& fields,
                                                  std::vector<std::string>* warnings);

}  // namespace pdf417read::detail

#endif
