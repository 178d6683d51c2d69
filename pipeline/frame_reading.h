// Reading successive frames of one scene together: a symbol that no frame
// shows whole is read from the best reading of each codeword over the
// frames, and only error correction with checks to spare confirms it, by
// the same rules as a symbol read from one picture.
#ifndef PDF417_PIPELINE_FRAME_READING_H
#define PDF417_PIPELINE_FRAME_READING_H

#include "pipeline/symbol_tracking.h"

namespace pdf417read::detail {

// The readings a frame's scan confirmed (`count` of `capacity`, messages
// decoded) less those returned in an earlier frame, then the symbols the
// frames confirm together, their messages decoded. Returns their number.
int followFrame(SymbolTracks* tracks, SymbolReading* readings, int count, int capacity);

}  // namespace pdf417read::detail

#endif
