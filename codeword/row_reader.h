// Reads the rows of a resampled, binarised symbol into codewords.
#ifndef PDF417_CODEWORD_ROW_READER_H
#define PDF417_CODEWORD_ROW_READER_H

#include "codeword/codeword_buffer.h"

namespace pdf417read::detail {

// A band stores at most this many codewords.
enum { kBandCodewordLimit = 64 };

extern const int moduleWeights[15];

// What the reader learns while it reads one grid, handed back to its caller.
struct RowReaderState {
  int ecLevel;  // error-correction level, -1 while unknown
  int lastLeftIndicator;
  int lastRightIndicator;
  int codewordWritePos;  // the next codeword goes here
  int bandsRead;         // bands decoded: the symbol rows read
};

// Sets a state to its start values (write position 0, level -1, indicators
// and bands 0). detectBStoCW calls it first, so every read starts alike.
void resetRowReader(RowReaderState* state);

// grid: rows rows of rowLen bytes (1 = dark), each ending in a light pad
// byte. Fills codewords (kCodewordBufferSize ints) and *state. Returns 1
// when the last band decoded, -1 otherwise.
int detectBStoCW(const unsigned char* grid, int rowLen, int rows, int* codewords, RowReaderState* state);

// Decodes one voted band, appending its data codewords at
// state->codewordWritePos and taking its row indicators into *state;
// returns 1 when it had at least 8 edges, else 0.
int decodeRowBand(int rowLen, int bandNumber, int rowsInBand, const double* accumulator,
                  const int* weights, int* codewords, RowReaderState* state);

}  // namespace pdf417read::detail

#endif
