#include "codeword/row_reader.h"

#include <stdlib.h>

#include <cstring>

#include "codeword/pattern_table.h"
#include "runtime/trace.h"

namespace pdf417read::detail {

// Bit weight of modules 1..15 of a codeword; module 0 (always a bar) is
// bit 16 and module 16 (always a space) is bit 0.
const int moduleWeights[15] = {32768, 16384, 8192, 4096, 2048, 1024, 512, 256,
                               128,   64,    32,   16,   8,    4,    2};

enum { kWaitingForBand = 1, kInBand = 2 };

void resetRowReader(RowReaderState* state) {
  state->ecLevel = -1;
  state->lastLeftIndicator = 0;
  state->lastRightIndicator = 0;
  state->codewordWritePos = 0;
  state->bandsRead = 0;
}

// ---- one band -----------------------------------------------------------

static int columnIsDark(const double* accumulator, int column, double threshold) {
  return !(threshold > accumulator[column]);
}

// Stores the column of every dark/light change, relative to the first dark
// column, in edges (edges[0] = 0 for that first column). A run narrower than
// 1/15 of the first bar is not split off, so a speck of noise merges into the
// run after it. Returns the number of edges stored, 0 when no column is dark.
static int findBandEdges(const double* accumulator, int rowLen, double threshold, int* edges,
                     int capacity) {
  int first = 0;
  while (first < rowLen && !columnIsDark(accumulator, first, threshold)) first++;
  if (first + 1 >= rowLen) return 0;
  int count = 0;
  edges[count++] = 0;
  for (int c = first + 1; c < rowLen && count < capacity; c++) {
    if (columnIsDark(accumulator, c, threshold) == columnIsDark(accumulator, c - 1, threshold))
      continue;
    int edge = c - first;
    long long run = edge - edges[count - 1];
    if (count == 1 || 15 * run >= edges[1]) edges[count++] = edge;
  }
  return count;
}

// Builds the 17-bit key of the codeword whose eight elements start at
// edges[k]. The element edges are scaled to 17 modules of the codeword's
// width; the rounding leans towards later modules, more so for bar ends.
static int weightedCodewordKey(const int* edges, int k, int width, const int* weights) {
  int start = edges[k];
  int pattern = 0x10000;
  for (int bar = 0; bar < 4; bar++) {
    int barStart = edges[k + 2 * bar] - start;
    int barEnd = edges[k + 2 * bar + 1] - start;
    int firstModule = (int)(barStart * 17.0 / width + 0.56);
    int endModule = (int)(barEnd * 17.0 / width + 0.67);
    if (firstModule < 1) firstModule = 1;
    if (endModule > 16) endModule = 16;
    for (int j = firstModule; j < endModule; j++) pattern |= weights[j - 1];
  }
  return pattern;
}

// Cuts the edges into groups of eight, one codeword each, and looks every
// group up. At most `limit` codewords are read. Returns how many were read.
static int readBandCodewords(const int* edges, int edgeCount, int rowLen, const int* weights,
                             int* bandCodewords, int limit) {
  int count = edgeCount / 8;
  if (count > limit) count = limit;
  for (int g = 0; g < count; g++) {
    int k = 8 * g;
    // The last group of a row whose edge count is a multiple of eight has
    // no following edge: its final space runs to the row's end.
    int width = (k == edgeCount - 8) ? rowLen - edges[k] : edges[k + 8] - edges[k];
    bandCodewords[g] = lookupCodeword(weightedCodewordKey(edges, k, width, weights));
  }
  return count;
}

// Appends the codewords between the two row indicators; entries past the
// end of the buffer are dropped.
static void storeDataCodewords(const int* bandCodewords, int count, int* codewords,
                               int* writePos) {
  for (int i = 1; i < count - 1; i++) {
    if (*writePos < 0 || *writePos >= kCodewordBufferSize) return;
    codewords[(*writePos)++] = bandCodewords[i];
  }
}

// The left indicator of the second row of each group of three and the right
// indicator of the third both carry the error-correction level; it is taken
// once, when the two agree.
static void learnFromIndicators(int bandNumber, const int* bandCodewords, int count,
                                RowReaderState* state) {
  int left = bandCodewords[0];
  int right = bandCodewords[count - 1];
  switch (bandNumber % 3) {
    case 1:
      state->lastLeftIndicator = left;
      break;
    case 2:
      state->lastRightIndicator = right;
      if (state->ecLevel < 0 && right == state->lastLeftIndicator && state->lastLeftIndicator != -1)
        state->ecLevel = (right % 30 - 2) / 3;
      break;
    default:
      break;
  }
}

int decodeRowBand(int rowLen, int bandNumber, int rowsInBand, const double* accumulator,
                  const int* weights, int* codewords, RowReaderState* state) {
  if (rowLen < 1 || bandNumber < 0 || !accumulator || !weights || !codewords || !state)
    return 0;
  size_t capacity = (size_t)rowLen + 10;
  int* edges = (int*)malloc(capacity * sizeof(int));
  if (!edges) return 0;
  // At most one edge per column, so the list can never fill up.
  int edgeCount = findBandEdges(accumulator, rowLen, rowsInBand * 0.5, edges, rowLen);
  if (edgeCount < 8) {
    free(edges);
    return 0;
  }
  int bandCodewords[kBandCodewordLimit];
  int count = readBandCodewords(edges, edgeCount, rowLen, weights, bandCodewords,
                                kBandCodewordLimit);
  storeDataCodewords(bandCodewords, count, codewords, &state->codewordWritePos);
  learnFromIndicators(bandNumber, bandCodewords, count, state);
  state->bandsRead++;
  free(edges);
  return 1;
}

// ---- the whole grid -----------------------------------------------------

// Sixteen columns at a time; byte lanes count up to 255 chunks before they
// are added up.
static int countDifferences(const unsigned char* row, const unsigned char* previous, int rowLen) {
  typedef unsigned char Bytes16 __attribute__((vector_size(16)));
  int differences = 0, c = 0;
  while (c + 16 <= rowLen) {
    Bytes16 counts = {};
    for (int chunk = 0; chunk < 255 && c + 16 <= rowLen; chunk++, c += 16) {
      Bytes16 here, above;
      std::memcpy(&here, row + c, sizeof here);
      std::memcpy(&above, previous + c, sizeof above);
      counts += (Bytes16)((here == 1) ^ (above == 1)) & 1;
    }
    for (int k = 0; k < 16; k++) differences += counts[k];
  }
  for (; c < rowLen; c++) differences += (row[c] == 1) != (previous[c] == 1);
  return differences;
}

static void clearVotes(double* accumulator, int rowLen) {
  for (int c = 0; c < rowLen; c++) accumulator[c] = 0.0;
}

static void addVotes(double* accumulator, const unsigned char* row, int rowLen) {
  for (int c = 0; c < rowLen; c++)
    if (row[c] == 1) accumulator[c] += 1.0;
}

// Grid rows that differ from the row above in only a few columns show the
// same symbol row and are voted together into one band; a row that differs
// clearly closes the band and decodes it. Rows in between leave the band as
// it is. A band that cannot be decoded stays open and keeps collecting rows.
int detectBStoCW(const unsigned char* grid, int rowLen, int rows, int* codewords, RowReaderState* reader) {
  if (!reader) return -1;
  resetRowReader(reader);
  if (!codewords) return -1;
  for (int i = 0; i < kCodewordBufferSize; i++) codewords[i] = -2;
  // Fewer than two rows can never form a band of two voted rows.
  if (!grid || rowLen < 1 || rows < 2) return -1;

  double* accumulator = (double*)malloc((size_t)rowLen * sizeof(double));
  if (!accumulator) {
    trace(" detectBStoCW alloc error\n");
    return -1;
  }
  clearVotes(accumulator, rowLen);
  int state = kWaitingForBand, rowsInBand = 0, bandNumber = 0, lastResult = 0;
  int sameBand = rowLen / 40 + 2;
  int newBand = rowLen / 20 + 2;

  for (int r = 1; r < rows; r++) {
    const unsigned char* row = grid + (size_t)r * rowLen;
    int differences = countDifferences(row, row - rowLen, rowLen);
    if (differences < sameBand) {
      if (state == kWaitingForBand) {
        clearVotes(accumulator, rowLen);
        state = kInBand;
        rowsInBand = 0;
      }
      addVotes(accumulator, row, rowLen);
      rowsInBand++;
    } else if (differences > newBand && state == kInBand && rowsInBand > 1) {
      lastResult = decodeRowBand(rowLen, bandNumber, rowsInBand, accumulator, moduleWeights,
                                 codewords, reader);
      if (lastResult == 1) {
        state = kWaitingForBand;
        bandNumber++;
      }
    }
  }
  if (state == kInBand && rowsInBand > 1)
    lastResult = decodeRowBand(rowLen, bandNumber, rowsInBand, accumulator, moduleWeights,
                               codewords, reader);

  free(accumulator);
  return lastResult == 1 ? 1 : -1;
}

}  // namespace pdf417read::detail
