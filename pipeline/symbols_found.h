// The symbols a scan has read and the candidates it has tried: nothing is
// read twice.
#ifndef PDF417_PIPELINE_SYMBOLS_FOUND_H
#define PDF417_PIPELINE_SYMBOLS_FOUND_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

enum { kMaxTried = 64 };

// Candidates read already: the same edges found with the other threshold
// are not read twice.
struct Tried {
  Vec centre[kMaxTried];
  Vec across[kMaxTried];
  int count;
};

// Whether a candidate of about these edges was tried; notes it when not.
bool triedBefore(Tried* tried, Vec centre, Vec across, double module);

// The middle of an outline of four corners (x, y pairs).
Vec outlineCentre(const float* corners);

// Whether a point (picture pixel indexes) lies on a symbol read already.
bool alreadyRead(const ScanContext* ctx, Vec p);

// Whether the readings are full or the symbols asked for were read.
bool enoughSymbols(const ScanContext* ctx);

// Keeps ctx->current unless it is a symbol read already.
void keepReading(ScanContext* ctx);

}  // namespace pdf417read::detail::symbol_scan

#endif
