#include "pipeline/frame_reading.h"

#include <cstdlib>

#include "codeword/codeword_buffer.h"
#include "pipeline/scan_context.h"
#include "pipeline/symbol_acceptance.h"

namespace pdf417read::detail {

namespace {

// Buffers error correction works in, as a scan's.
struct Correction {
  symbol_scan::ScanContext* ctx;
  int* codewords;
  float* sureness;
};

// A followed symbol's cells corrected, the least sure erased as a symbol
// read by its shapes is: true with ctx->current filled when confirmed.
bool confirmTrack(const TrackedSymbol& t, Correction* work) {
  int n = t.layout.rows * t.layout.columns;
  for (int i = 0; i < n; i++) {
    work->codewords[i] = t.cells[i].codeword;
    // Cells never read first, as erasures.
    work->sureness[i] = t.cells[i].codeword < 0 ? -1.0f : t.cells[i].sureness;
  }
  return symbol_scan::confirmLeastSure(work->ctx, work->codewords, work->sureness, n, t.layout);
}

void fillReading(const TrackedSymbol& t, SymbolReading* out) {
  for (int k = 0; k < 8; k++) out->corners[k] = t.corners[k];
  out->mirrored = t.mirrored;
  out->inverted = t.inverted;
  out->compact = !t.rightIndicatorRead;
  decodeDataCodewords(out->codewords, out->codewordCount, &out->message);
}

// Whether a symbol may read now: it changed in this frame, and more than
// one frame showed it (one frame alone was read as a picture is).
bool worthTrying(const SymbolTracks& tracks, const TrackedSymbol& t) {
  return !t.decoded && t.changedFrame == tracks.frame && t.lastFrame == tracks.frame && t.framesSeen > 1;
}

int combineTracks(SymbolTracks* tracks, SymbolReading* readings, int count, int capacity) {
  Correction work = {nullptr, nullptr, nullptr};
  for (int i = 0; i < tracks->count && count < capacity; i++) {
    TrackedSymbol& t = tracks->symbols[i];
    if (!worthTrying(*tracks, t)) continue;
    if (!work.ctx) {
      work.ctx = (symbol_scan::ScanContext*)std::calloc(1, sizeof(symbol_scan::ScanContext));
      work.codewords = (int*)std::malloc(sizeof(int) * kMaxTrackedCells);
      work.sureness = (float*)std::malloc(sizeof(float) * kMaxTrackedCells);
      if (work.ctx) {
        work.ctx->codewords = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
        work.ctx->erasures = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
      }
      if (!work.ctx || !work.codewords || !work.sureness || !work.ctx->codewords || !work.ctx->erasures) break;
    }
    work.ctx->current = &readings[count];
    if (!confirmTrack(t, &work)) continue;
    fillReading(t, &readings[count]);
    // Another grid of a symbol returned before: it is that symbol.
    bool again = returnedBefore(tracks, readings[count]) != nullptr;
    trackDecoded(tracks, &t, readings[count]);
    count += !again;
  }
  if (work.ctx) {
    std::free(work.ctx->codewords);
    std::free(work.ctx->erasures);
  }
  std::free(work.ctx);
  std::free(work.codewords);
  std::free(work.sureness);
  return count;
}

}  // namespace

int followFrame(SymbolTracks* tracks, SymbolReading* readings, int count, int capacity) {
  int kept = 0;
  for (int i = 0; i < count; i++)
    if (!noteConfirmed(tracks, readings[i])) {
      if (kept != i) readings[kept] = readings[i];
      kept++;
    }
  return combineTracks(tracks, readings, kept, capacity);
}

}  // namespace pdf417read::detail
