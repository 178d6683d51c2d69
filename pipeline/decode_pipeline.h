// The decode pipeline: grey picture in, decoded symbol out.
#ifndef PDF417_PIPELINE_DECODE_PIPELINE_H
#define PDF417_PIPELINE_DECODE_PIPELINE_H

#include "pipeline/decode_entry.h"

// pixels (width * height grey bytes) is binarised in place. Null when no
// symbol was decoded.
DecodeResult* decodeImage(unsigned char* pixels, int width, int height);

// Number of runs of almost-light columns in a 0/1 grid.
int countLightColumnRuns(const unsigned char* grid, int gridWidth, int gridHeight);

#endif
