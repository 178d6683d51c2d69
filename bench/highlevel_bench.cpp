// Decoding speed of full symbols' data codewords, one compaction mode each.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "highlevel/data_decoder.h"
#include "highlevel/walk_trace.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

static std::vector<int> symbolFor(const std::string& data) {
  ModuleMatrix symbol;
  encodeSymbol(data, SymbolOptions{}, &symbol);
  std::vector<int> codewords = symbolCodewords(symbol);
  return codewords;
}

static std::string randomData(const std::string& alphabet, int length, unsigned seed) {
  std::mt19937 random(seed);
  std::string data;
  for (int i = 0; i < length; i++) data += alphabet[random() % alphabet.size()];
  return data;
}

static void decodeSymbol(benchmark::State& state, const std::string& data) {
  std::vector<int> codewords = symbolFor(data);
  if (codewords.empty()) return state.SkipWithError("the encoder refused the data");
  int total = (int)codewords.size();
  codewords.resize(3060, -2);
  // Traced, as the exact path decodes (no trace sink is set).
  std::unique_ptr<DecodedMessage> message(new DecodedMessage());
  std::unique_ptr<TracedText> traced(new TracedText());
  for (auto _ : state)
    benchmark::DoNotOptimize(decodeDataCodewords(codewords.data(), total, message.get(), traced.get()));
  state.counters["codewords"] = codewords[0];
}

static void BM_Text(benchmark::State& state) {
  decodeSymbol(state, randomData("ABCDEFGHIJ abcdefghij,.", 900, 1));
}
static void BM_Numeric(benchmark::State& state) {
  decodeSymbol(state, randomData("0123456789", 2400, 2));
}
// A multiple of six bytes: one 924 segment, which prints no trace lines.
static void BM_Bytes(benchmark::State& state) {
  std::string alphabet;
  for (int c = 128; c < 256; c++) alphabet += (char)c;
  decodeSymbol(state, randomData(alphabet, 996, 3));
}
BENCHMARK(BM_Text);
BENCHMARK(BM_Numeric);
BENCHMARK(BM_Bytes);
