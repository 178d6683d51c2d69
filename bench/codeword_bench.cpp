#include <benchmark/benchmark.h>

#include <vector>

#include "codeword/pattern_table.h"
#include "codeword/row_reader.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

// A zint symbol cut between the inner edges of its start and stop patterns,
// drawn as the pipeline hands it over: modulePixels columns per module,
// rowPixels grid rows per symbol row, a light pad byte after every row.
static std::vector<unsigned char> readerRows(int columns, int modulePixels, int rowPixels,
                                             int* rowLen, int* rows) {
  std::string data;
  for (int i = 0; i < 40 * columns; i++) data.push_back((char)('A' + i % 26));
  ModuleMatrix symbol;
  encodeSymbol(data, SymbolOptions{columns, 0, 4}, &symbol);
  int width = symbol.width - 17 - 18;
  *rowLen = width * modulePixels + 1;
  *rows = symbol.rows * rowPixels;
  std::vector<unsigned char> grid;
  for (int y = 0; y < *rows; y++) {
    for (int x = 0; x < width * modulePixels; x++)
      grid.push_back(symbol.at(y / rowPixels, 17 + x / modulePixels));
    grid.push_back(0);
  }
  return grid;
}

static void BM_DetectBStoCW(benchmark::State& state) {
  int rowLen = 0, rows = 0;
  std::vector<unsigned char> grid =
      readerRows((int)state.range(0), (int)state.range(1), (int)state.range(2), &rowLen, &rows);
  std::vector<int> codewords(kCodewordBufferSize);
  RowReaderState reader;
  for (auto _ : state) {
    benchmark::DoNotOptimize(detectBStoCW(grid.data(), rowLen, rows, codewords.data(), &reader));
    benchmark::ClobberMemory();
  }
  state.counters["gridBytes"] = (double)grid.size();
  state.counters["codewords"] = reader.codewordWritePos;
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)grid.size());
}
BENCHMARK(BM_DetectBStoCW)->Args({6, 3, 9})->Args({15, 4, 12})->Args({30, 3, 9});

static void BM_LookupCodeword(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lookupCodeword(codewordPatternKeys[i]));
    i = (i + 977) % kPatternTableSize;
  }
}
BENCHMARK(BM_LookupCodeword);
