// Test support: PDF417 symbols that hold codewords chosen by hand, with check
// codewords from a reference Reed-Solomon encoder of the tests' own.
#ifndef PDF417_TESTS_SUPPORT_CODEWORD_SYMBOLS_H
#define PDF417_TESTS_SUPPORT_CODEWORD_SYMBOLS_H

#include <string>
#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

// A PDF417 word: data (entry 0 the length descriptor) followed by t check
// codewords, so that the whole is divisible by the generator polynomial.
std::vector<int> encodeWord(const std::vector<int>& data, int t);

// Six bytes as the five base-900 codewords of one byte-compaction group.
std::vector<int> byteCompactionGroup(const std::string& six);

// A symbol whose data codewords are data (the length descriptor left out),
// padded with 900, at error-correction level 2. False when the encoder
// refused the placeholder it starts from.
bool encodeCodewordSymbol(const std::vector<int>& data, ModuleMatrix* symbol);

}  // namespace pdf417read::detail

#endif
