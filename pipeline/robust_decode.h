// A decode entry for programs that want every symbol read that can be read:
// the exact pipeline first, then, while error correction has not confirmed a
// reading, the same picture read in other ways (turned, tilted back, padded,
// enlarged, with a local threshold, by a reader that follows the row
// indicators and can read a symbol whose other half is missing).
#ifndef PDF417_PIPELINE_ROBUST_DECODE_H
#define PDF417_PIPELINE_ROBUST_DECODE_H

#include "pipeline/decode_entry.h"

// Readings tried after the exact pipeline, at most.
enum { kMaxExtraReadings = 40 };

// grey: width * height grey bytes, left unchanged. Returns the first result
// that error correction verified; failing that, the exact pipeline's result
// accepted without correction (verified 0); else null, with decodeFailure
// saying why.
DecodeResult* decodeImageRobust(const unsigned char* grey, int width, int height);

// The same for a picture file.
DecodeResult* decodeImageFileRobust(const char* path);

// How many extra readings the last call tried (for measuring).
extern int extraReadingsTried;

#endif
