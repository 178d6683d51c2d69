// The decode pipeline: grey picture in, decoded symbol out.
#ifndef PDF417_PIPELINE_DECODE_PIPELINE_H
#define PDF417_PIPELINE_DECODE_PIPELINE_H

#include "highlevel/data_decoder.h"
#include "pipeline/decode_entry.h"

// The state below belongs to the calling thread's last decode: each thread
// has its own.

// Why the last decode gave no result.
enum DecodeFailure {
  kDecodeOk = 0,
  kDecodeNoPicture,   // the file could not be read as a picture
  kDecodeNoSymbol,    // no start and stop patterns were found
  kDecodeNotDecoded,  // a symbol was found but its codewords did not decode
};
extern thread_local int decodeFailure;

// State of the last decode: codewords read (erasures included) and the
// positions of the erasures among them.
extern thread_local int codewordCount;
extern thread_local int erasureCount;
extern thread_local int erasureList[929];
// The codewords the last decode handed to data decoding (3060 entries), the
// check codeword count it corrected them with and what correction returned.
extern thread_local int decodedCodewords[];
extern thread_local int checkCodewordCount;
extern thread_local int correctionResult;

// pixels (width * height grey bytes) is binarised in place. Null when no
// symbol was decoded; decodeFailure then says why.
DecodeResult* decodeImage(unsigned char* pixels, int width, int height);
// The same decode with the picture left as it is, one copy of it fewer.
// With message, the symbol's message is decoded into it.
DecodeResult* decodeImageKeeping(const unsigned char* grey, int width, int height,
                                 DecodedMessage* message = nullptr);

// A result holding length bytes of text and the corner points 0, 1, 6 and 7
// of a corner record (16 ints). Null when out of memory.
DecodeResult* buildResult(const char* text, int length, const int* corners, int verified);

// Follows an inner edge (the line a*x + b*y + c = 0) from point (x, y) away
// from the symbol, towards row 0 (direction -1) or the last row (+1), while
// the 0/1 picture stays dark on it, bridging up to three light rows; point
// ends on the last dark row. Columns outside the picture count as light.
void walkEdge(const unsigned char* binary, int width, int height, int* point, float a, float b,
              float c, int direction);

// Number of runs of almost-light columns in a 0/1 grid.
int countLightColumnRuns(const unsigned char* grid, int gridWidth, int gridHeight);

#endif
