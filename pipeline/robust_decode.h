// A decode entry for programs that want every symbol read that can be read:
// the exact pipeline first, then, while error correction has not confirmed a
// reading, the same picture read in other ways (turned, tilted back, padded,
// enlarged, with a local threshold, by a reader that follows the row
// indicators and can read a symbol whose other half is missing).
#ifndef PDF417_PIPELINE_ROBUST_DECODE_H
#define PDF417_PIPELINE_ROBUST_DECODE_H

#include "pipeline/decode_entry.h"
#include "pipeline/decode_pipeline.h"
#include "pipeline/symbol_reading.h"

// Readings tried after the exact pipeline, at most.
enum { kMaxExtraReadings = 40 };

// How many ways of reading are tried: fast tries the picture upright and
// upside down only, hard allows twice the readings.
enum ReadEffort { kEffortFast, kEffortNormal, kEffortHard };

// The exact pipeline on a copy of grey (width * height bytes, left
// unchanged). Fills *out and returns kDecodeOk when it gave a result, else
// why not (a DecodeFailure). *trusted: its correction had checks to spare
// with a check count that a symbol can have.
int readSymbolExact(const unsigned char* grey, int width, int height, SymbolReading* out,
                    bool* trusted);

// grey: width * height grey bytes, left unchanged. Fills *out with the first
// reading that error correction verified; failing that, with the exact
// pipeline's reading accepted without correction (verified 0). Returns
// kDecodeOk when *out was filled, else why not (a DecodeFailure).
int readSymbolRobust(const unsigned char* grey, int width, int height, int effort, SymbolReading* out);

// The same as a DecodeResult, the message decoded with every byte kept.
// grey: width * height grey bytes, left unchanged. Returns the first result
// that error correction verified; failing that, the exact pipeline's result
// accepted without correction (verified 0); else null, with decodeFailure
// saying why.
DecodeResult* decodeImageRobust(const unsigned char* grey, int width, int height);

// The same for a picture file.
DecodeResult* decodeImageFileRobust(const char* path);

// How many extra readings the calling thread's last call tried (for
// measuring).
extern thread_local int extraReadingsTried;

#endif
