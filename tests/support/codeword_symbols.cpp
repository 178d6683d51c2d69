#include "support/codeword_symbols.h"

namespace pdf417read::detail {

namespace {

// Field arithmetic of the reference encoder, kept apart from the decoder's
// tables so that the two check each other.
int modPrime(long long v) { return (int)(((v % 929) + 929) % 929); }

int powerOfThree(int exponent) {
  long long result = 1;
  for (int i = 0; i < exponent; i++) result = result * 3 % 929;
  return (int)result;
}

// g(x) = (x - 3)(x - 3^2)...(x - 3^t), highest power first.
std::vector<int> generatorPolynomial(int t) {
  std::vector<int> g{1};
  for (int k = 1; k <= t; k++) {
    int root = powerOfThree(k);
    std::vector<int> next(g.size() + 1, 0);
    for (size_t i = 0; i < g.size(); i++) {
      next[i] = modPrime(next[i] + g[i]);
      next[i + 1] = modPrime(next[i + 1] - (long long)g[i] * root);
    }
    g = next;
  }
  return g;
}

}  // namespace

// The negated remainder of data(x) * x^t by g(x).
std::vector<int> encodeWord(const std::vector<int>& data, int t) {
  std::vector<int> g = generatorPolynomial(t);
  std::vector<int> work(data);
  work.resize(data.size() + t, 0);
  for (size_t i = 0; i < data.size(); i++) {
    int coefficient = work[i];
    if (coefficient == 0) continue;
    for (int j = 1; j <= t; j++) work[i + j] = modPrime(work[i + j] - (long long)coefficient * g[j]);
  }
  std::vector<int> word(data);
  for (int j = 0; j < t; j++) word.push_back(modPrime(-work[data.size() + j]));
  return word;
}

std::vector<int> byteCompactionGroup(const std::string& six) {
  unsigned long long value = 0;
  for (unsigned char byte : six) value = value * 256 + byte;
  std::vector<int> codewords(5);
  for (int i = 4; i >= 0; i--, value /= 900) codewords[i] = (int)(value % 900);
  return codewords;
}

bool encodeCodewordSymbol(const std::vector<int>& data, ModuleMatrix* symbol) {
  // A placeholder of text, two letters a codeword, with room for the data;
  // its codewords are then drawn over one by one.
  SymbolOptions options;
  options.eccLevel = 2;
  if (!encodeSymbol(std::string(2 * data.size() + 2, 'A'), options, symbol)) return false;
  std::vector<int> placeholder = symbolCodewords(*symbol);
  int columns = dataColumns(*symbol);
  if (placeholder.empty() || columns < 1 || placeholder[0] < (int)data.size() + 1) return false;
  std::vector<int> word = {placeholder[0]};
  word.insert(word.end(), data.begin(), data.end());
  word.resize((size_t)placeholder[0], 900);
  word = encodeWord(word, (int)placeholder.size() - placeholder[0]);
  for (size_t i = 0; i < word.size(); i++)
    replaceCodeword(symbol, (int)i / columns, (int)i % columns, word[i]);
  return true;
}

}  // namespace pdf417read::detail
