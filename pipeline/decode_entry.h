// Decode entry points: picture file or bitmap in, decoded text out.
#ifndef PDF417_PIPELINE_DECODE_ENTRY_H
#define PDF417_PIPELINE_DECODE_ENTRY_H

#include "image/picture_bitmap.h"

// The decoder's answer. Coordinates are pixels of the input picture, in the
// symbol's own frame (start pattern on the left).
struct DecodeResult {
  char* text;      // textLength bytes and a terminating zero, owned here
  int textLength;
  int topLeftX, topLeftY;          // start pattern outer edge, top row found
  int bottomLeftX, bottomLeftY;    // start pattern outer edge, bottom row found
  int bottomRightX, bottomRightY;  // stop pattern inner edge, bottom end
  int topRightX, topRightY;        // stop pattern inner edge, top end
  int verified;  // 1 when error correction confirmed the codewords, 0 when
                 // they were taken uncorrected after correction failed
};

struct DecodeRecord;

// record (may be null) receives what the decode found, its failure included.
DecodeResult* decodeImageFile(const char* path, DecodeRecord* record = nullptr);
// Converts bitmap to grey, decodes it and releases the bitmap.
DecodeResult* decodeBitmap(PictureBitmap* bitmap, DecodeRecord* record = nullptr);
void freeDecodeResult(DecodeResult* result);

#endif
