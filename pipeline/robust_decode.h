// Decode entries for programs that want every symbol read that can be read:
// the exact pipeline first, then, while error correction has not confirmed
// its reading, the second reading path (pipeline/symbol_scan.h), which reads
// symbols in any orientation, mirrored, compact, cut or damaged.
#ifndef PDF417_PIPELINE_ROBUST_DECODE_H
#define PDF417_PIPELINE_ROBUST_DECODE_H

#include "pipeline/decode_entry.h"
#include "pipeline/decode_pipeline.h"
#include "pipeline/symbol_reading.h"
#include "pipeline/symbol_scan.h"

// The exact pipeline on a copy of grey (width * height bytes, left
// unchanged). Fills *out, its message included, and returns kDecodeOk when
// it gave a result, else
// why not (a DecodeFailure). *trusted: its correction had checks to spare
// with a check count that a symbol can have.
int readSymbolExact(const unsigned char* grey, int width, int height, SymbolReading* out,
                    bool* trusted);

// grey: width * height grey bytes, left unchanged. Fills *out, its message
// included, with the exact pipeline's reading when it is trusted, else with
// the first reading the second path verified; failing that, with the exact
// pipeline's reading accepted without correction (verified 0). Returns kDecodeOk when *out was
// filled, else why not (a DecodeFailure). stats (may be null) tells what
// the second path did.
int readSymbolRobust(const unsigned char* grey, int width, int height, int effort, SymbolReading* out,
                     ScanStats* stats = nullptr);

// The same as a DecodeResult, the message decoded with every byte kept.
// grey: width * height grey bytes, left unchanged. Null when nothing was
// read, with decodeFailure saying why.
DecodeResult* decodeImageRobust(const unsigned char* grey, int width, int height);

// The same for a picture file.
DecodeResult* decodeImageFileRobust(const char* path);

#endif
