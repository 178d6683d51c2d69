// GS1 element strings (as ISO/IEC 15434 format 05 carries them): each
// element is an application identifier (AI) of 2 to 4 digits and its data.
#ifndef PDF417_DOCUMENT_GS1_ELEMENTS_H
#define PDF417_DOCUMENT_GS1_ELEMENTS_H

#include <string>
#include <vector>

namespace pdf417read::detail {

struct Gs1Element {
  std::string ai;  // empty when the AI is not known
  std::string data;
};

// The elements of one GS-separated piece. Elements of a predefined length
// (01, 11 to 19, 31nn to 36nn, ...) may follow each other without a
// separator and are split here; any other one runs to the piece's end. A
// piece that does not begin with a known AI is one element without one.
std::vector<Gs1Element> gs1Elements(const std::string& piece);

}  // namespace pdf417read::detail

#endif
