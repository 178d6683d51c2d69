#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "ecc/reed_solomon.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

// The codewords of a real symbol at the given level, text long enough to
// give a word of several hundred codewords.
static std::vector<int> symbolWord(int level) {
  std::string text;
  for (int i = 0; text.size() < 520; i++) text += "Parcel " + std::to_string(i * 7919) + " to Bay ";
  SymbolOptions options;
  options.eccLevel = level;
  ModuleMatrix symbol;
  if (!encodeSymbol(text, options, &symbol)) return {};
  return symbolCodewords(symbol);
}

// t / 2 errors at random positions: the most the code can correct.
static void BM_RsDecodeMostErrors(benchmark::State& state) {
  int level = (int)state.range(0);
  std::vector<int> word = symbolWord(level);
  if (word.empty()) {
    state.SkipWithError("zint refused the symbol");
    return;
  }
  int n = (int)word.size(), t = n - word[0];
  std::mt19937 rng(64);
  std::vector<int> damaged = word;
  std::vector<int> order(n);
  for (int i = 0; i < n; i++) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  for (int e = 0; e < t / 2; e++) damaged[order[e]] = (word[order[e]] + 1 + e % 928) % 929;

  std::vector<int> buffer(n), positions(t);
  int result = 0;
  for (auto _ : state) {
    buffer = damaged;
    result = rsDecode(buffer.data(), positions.data(), 0, n, t, 0);
    benchmark::DoNotOptimize(result);
  }
  if (result != t / 2 || buffer != word) state.SkipWithError("word not corrected");
  state.counters["n"] = n;
  state.counters["t"] = t;
  state.counters["errors"] = t / 2;
}
BENCHMARK(BM_RsDecodeMostErrors)->Arg(5)->Arg(8)->Unit(benchmark::kMicrosecond);

// A valid word: the syndromes alone.
static void BM_RsDecodeValidWord(benchmark::State& state) {
  std::vector<int> word = symbolWord((int)state.range(0));
  if (word.empty()) {
    state.SkipWithError("zint refused the symbol");
    return;
  }
  int n = (int)word.size(), t = n - word[0];
  for (auto _ : state) benchmark::DoNotOptimize(rsDecode(word.data(), nullptr, 0, n, t, 0));
  state.counters["n"] = n;
  state.counters["t"] = t;
}
BENCHMARK(BM_RsDecodeValidWord)->Arg(5)->Arg(8)->Unit(benchmark::kMicrosecond);
