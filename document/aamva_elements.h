// The data elements of AAMVA DL/ID records: the 2020 standard's table (used
// for versions 2 to 10 and later ones) and version 1's (used for versions 0
// and 1), each element's id with its name.
#ifndef PDF417_DOCUMENT_AAMVA_ELEMENTS_H
#define PDF417_DOCUMENT_AAMVA_ELEMENTS_H

#include <string>

namespace pdf417read::detail {

// The name of a DL or ID subfile's element in the table of an AAMVA
// version; null when that version does not define the element.
const char* aamvaElementName(const std::string& id, int version);

}  // namespace pdf417read::detail

#endif
