// The decode pipeline: gray picture in, decoded symbol out.
#ifndef PDF417_PIPELINE_DECODE_PIPELINE_H
#define PDF417_PIPELINE_DECODE_PIPELINE_H

#include "highlevel/data_decoder.h"
#include "pipeline/decode_entry.h"

#include "codeword/codeword_buffer.h"
#include "codeword/row_reader.h"
#include "locate/start_stop_search.h"

namespace pdf417read::detail {

// Why a decode gave no result.
enum DecodeFailure {
  kDecodeOk = 0,
  kDecodeNoPicture,   // the file could not be read as a picture
  kDecodeNoSymbol,    // no start and stop patterns were found
  kDecodeNotDecoded,  // a symbol was found but its codewords did not decode
};

enum { kErasureListSize = 929 };

// What the stages of one decode found and handed on, in the caller's
// record: each stage writes its part, later stages and the caller read it.
struct DecodeRecord {
  int failure;  // a DecodeFailure; kDecodeOk when a result came
  // The search's corner record; its inner points (4 to 7) as the edge walk
  // left them. Valid once `found` is set.
  StartStopCorners corners;
  int found;    // the start and stop patterns were found
  int rotated;  // by the search for a symbol turned by 180 degrees
  int columnRuns;             // codeword columns counted, row indicators included
  int gridWidth, gridHeight;  // the final grid
  RowReaderState reader;      // what the row reader learned
  // Codewords read (erasures included) and the positions of the erasures.
  int codewordCount;
  int erasureCount;
  int erasureList[kErasureListSize];
  // The codewords as corrected and handed to data decoding, the check
  // codeword count they were corrected with and what correction returned.
  int codewords[kCodewordBufferSize];
  int checkCodewordCount;
  int correctionResult;
  // The message data decoding made of them, as its trace lines show it.
  DecodedMessage message;
};

// pixels (width * height gray bytes) is binarised in place. Null when no
// symbol was decoded; record->failure then says why. record may be null
// when the caller wants only the result.
DecodeResult* decodeImage(unsigned char* pixels, int width, int height, DecodeRecord* record = nullptr);
// The same decode with the picture left as it is, one copy of it fewer.
DecodeResult* decodeImageKeeping(const unsigned char* gray, int width, int height,
                                 DecodeRecord* record = nullptr);

// Follows an inner edge (the line a*x + b*y + c = 0) from point (x, y) away
// from the symbol, towards row 0 (direction -1) or the last row (+1), while
// the 0/1 picture stays dark on it, bridging up to three light rows; point
// ends on the last dark row. Columns outside the picture count as light.
void walkEdge(const unsigned char* binary, int width, int height, int* point, float a, float b,
              float c, int direction);

// Number of runs of almost-light columns in a 0/1 grid.
int countLightColumnRuns(const unsigned char* grid, int gridWidth, int gridHeight);

}  // namespace pdf417read::detail

#endif
