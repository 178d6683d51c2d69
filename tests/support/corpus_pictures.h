// Test and benchmark support: a folder of pictures (the decode rate corpus)
// loaded as gray pictures, each with the bytes it is expected to hold.
#ifndef PDF417_TESTS_SUPPORT_CORPUS_PICTURES_H
#define PDF417_TESTS_SUPPORT_CORPUS_PICTURES_H

#include <string>
#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

struct CorpusPicture {
  std::string name;      // the picture's folder and file name, "pdf417-1/01.png"
  std::string expected;  // NAME.txt or NAME.bin beside it; empty when neither
  GrayPicture picture;
};

// Every PNG, BMP, JPEG or GIF picture under folder (searched recursively)
// that loads, sorted by name. Empty when the folder cannot be read.
std::vector<CorpusPicture> loadCorpus(const std::string& folder);

}  // namespace pdf417read::detail

#endif
