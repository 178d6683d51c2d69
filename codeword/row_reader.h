// Reads the rows of a resampled, binarised symbol into codewords.
#ifndef PDF417_CODEWORD_ROW_READER_H
#define PDF417_CODEWORD_ROW_READER_H

#include "codeword/codeword_buffer.h"

// A band stores at most this many codewords.
enum { kBandCodewordLimit = 64 };

extern const int moduleWeights[15];

// State shared with the pipeline for one decode; each thread has its own.
extern thread_local int ecLevel;  // error-correction level, -1 while unknown
extern thread_local int lastLeftIndicator;
extern thread_local int lastRightIndicator;
extern thread_local int codewordWritePos;

// Sets the shared state to its start values (write position 0, level -1,
// indicators 0). detectBStoCW calls it first, so every decode starts alike.
void resetRowReader();

// grid: rows rows of rowLen bytes (1 = dark), each ending in a light pad
// byte. Fills codewords (kCodewordBufferSize ints). Returns 1 when the last
// band decoded, -1 otherwise.
int detectBStoCW(const unsigned char* grid, int rowLen, int rows, int* codewords);

// Decodes one voted band; returns 1 when it had at least 8 edges, else 0.
int decodeRowBand(int rowLen, int bandNumber, int rowsInBand, const double* accumulator,
                  const int* weights, int* codewords, int* writePos);

#endif
