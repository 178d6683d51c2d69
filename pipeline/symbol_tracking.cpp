#include "pipeline/symbol_tracking.h"

#include <cmath>

namespace pdf417read::detail {

namespace {

// A cell read at least this sure counts when two readings are compared.
const float kSure = 0.3f;

struct Shape {
  double x, y;           // middle
  double width, height;  // top and left sides
  double dx, dy;         // the top side's direction
};

Shape shapeOf(const float* c) {
  Shape s;
  s.x = 0.25 * (c[0] + c[2] + c[4] + c[6]);
  s.y = 0.25 * (c[1] + c[3] + c[5] + c[7]);
  s.width = std::hypot(c[2] - c[0], c[3] - c[1]);
  s.height = std::hypot(c[6] - c[0], c[7] - c[1]);
  s.dx = s.width > 0 ? (c[2] - c[0]) / s.width : 0;
  s.dy = s.width > 0 ? (c[3] - c[1]) / s.width : 0;
  return s;
}

bool usableCorners(const float* c) {
  for (int k = 0; k < 8; k++)
    if (!std::isfinite(c[k]) || std::fabs(c[k]) > 1e6f) return false;
  Shape s = shapeOf(c);
  return s.width >= 1 && s.height >= 1;
}

bool about(double a, double b) { return a < 1.4 * b && b < 1.4 * a; }

// The same place and shape as a followed symbol, as far as a hand moves
// between frames: its middle within a third of its width, its sides as long
// to within two fifths, turned by less than some 20 degrees; and the same
// layout, read the same way.
bool samePlace(const TrackedSymbol& t, const SymbolLayout& layout, const float* corners, int mirrored, int inverted) {
  if (t.layout.rows != layout.rows || t.layout.columns != layout.columns || t.layout.level != layout.level ||
      t.mirrored != mirrored || t.inverted != inverted)
    return false;
  Shape a = shapeOf(t.corners), b = shapeOf(corners);
  double reach = 0.34 * std::fmax(a.width, a.height);
  return std::hypot(a.x - b.x, a.y - b.y) < reach && about(a.width, b.width) && about(a.height, b.height) &&
         a.dx * b.dx + a.dy * b.dy > 0.94;
}

// How well a reading fits a symbol's sure cells: -1 when the two disagree
// (a few differing cells can be misreadings, many mean another symbol),
// else the cells they agree on.
int fit(int agreeing, int differing) { return differing >= 3 && 3 * differing > agreeing + differing ? -1 : agreeing; }

// How well what a grid read fits a symbol (see fit).
int sightingFit(const TrackedSymbol& t, const GridSighting& s) {
  int agreeing = 0, differing = 0;
  for (int r = 0; r < t.layout.rows; r++)
    for (int c = 0; c < t.layout.columns; c++) {
      float sure;
      int codeword = cellReading(s.reading, r, c + 1, &sure);
      const TrackedCell& kept = t.cells[r * t.layout.columns + c];
      if (codeword < 0 || sure < kSure || kept.codeword < 0 || kept.sureness < kSure) continue;
      agreeing += kept.codeword == codeword;
      differing += kept.codeword != codeword;
    }
  return fit(agreeing, differing);
}

// Whether a symbol's cells hold exactly these codewords.
bool holdsCodewords(const TrackedSymbol& t, const SymbolReading& reading) {
  int n = t.layout.rows * t.layout.columns;
  if (reading.codewordCount != n) return false;
  for (int i = 0; i < n; i++)
    if (t.cells[i].codeword != reading.codewords[i]) return false;
  return true;
}

// How well confirmed codewords fit a symbol's sure cells (see fit).
int codewordsFit(const TrackedSymbol& t, const SymbolReading& reading) {
  int n = t.layout.rows * t.layout.columns;
  if (reading.codewordCount != n) return -1;
  int agreeing = 0, differing = 0;
  for (int i = 0; i < n; i++) {
    const TrackedCell& kept = t.cells[i];
    if (kept.codeword < 0 || kept.sureness < kSure) continue;
    agreeing += kept.codeword == reading.codewords[i];
    differing += kept.codeword != reading.codewords[i];
  }
  return fit(agreeing, differing);
}

// Room for a new symbol: a free place, else the one seen longest ago's.
TrackedSymbol* newTrack(SymbolTracks* tracks, const SymbolLayout& layout, const float* corners, int mirrored,
                        int inverted) {
  int slot = tracks->count;
  if (slot == kMaxTrackedSymbols) {
    slot = 0;
    for (int i = 1; i < kMaxTrackedSymbols; i++)
      if (tracks->symbols[i].lastFrame < tracks->symbols[slot].lastFrame) slot = i;
  } else {
    tracks->count++;
  }
  TrackedSymbol* t = &tracks->symbols[slot];
  t->layout = layout;
  for (int k = 0; k < 8; k++) t->corners[k] = corners[k];
  t->mirrored = mirrored;
  t->inverted = inverted;
  t->rightIndicatorRead = 0;
  t->lastFrame = t->changedFrame = tracks->frame;
  t->framesSeen = 0;
  t->decoded = 0;
  for (int i = 0; i < layout.rows * layout.columns; i++) t->cells[i] = {-1, 0.0f};
  return t;
}

// The symbol at a place that a reading fits best (`fits` gives how well,
// -1: not at all), the nearest of those that fit as well; null when none.
template <typename Fits>
TrackedSymbol* findTrack(SymbolTracks* tracks, const SymbolLayout& layout, const float* corners, int mirrored,
                         int inverted, Fits fits) {
  TrackedSymbol* found = nullptr;
  int best = -1;
  double nearest = 0;
  Shape b = shapeOf(corners);
  for (int i = 0; i < tracks->count; i++) {
    TrackedSymbol& t = tracks->symbols[i];
    if (!samePlace(t, layout, corners, mirrored, inverted)) continue;
    int score = fits(t);
    if (score < 0 || score < best) continue;
    Shape a = shapeOf(t.corners);
    double d = std::hypot(a.x - b.x, a.y - b.y);
    if (score == best && d >= nearest) continue;
    found = &t, best = score, nearest = d;
  }
  return found;
}

// One more reading of a cell: the same codeword makes it surer, another
// less sure, and it takes the cell when it is the surer of the two.
bool mergeCell(TrackedCell* cell, int codeword, float sure) {
  if (codeword < 0) return false;
  sure = sure < 0.01f ? 0.01f : sure > 1.0f ? 1.0f : sure;
  if (cell->codeword < 0) {
    *cell = {(short)codeword, sure};
  } else if (cell->codeword == codeword) {
    cell->sureness = 1.0f - (1.0f - cell->sureness) * (1.0f - sure);
  } else if (sure > cell->sureness) {
    *cell = {(short)codeword, sure - cell->sureness};
  } else {
    cell->sureness -= sure;
  }
  return true;
}

void seen(SymbolTracks* tracks, TrackedSymbol* t, const float* corners) {
  for (int k = 0; k < 8; k++) t->corners[k] = corners[k];
  if (t->lastFrame != tracks->frame || t->framesSeen == 0) t->framesSeen++;
  t->lastFrame = tracks->frame;
}

bool layoutValid(const SymbolLayout& layout) {
  return layout.rows >= 3 && layout.rows <= kMaxSymbolRows && layout.columns >= 1 &&
         layout.columns <= kMaxDataColumns && layout.level >= 0 && layout.level <= 8;
}

}  // namespace

void clearTracks(SymbolTracks* tracks) {
  tracks->count = 0;
  tracks->frame = 0;
}

void beginFrame(SymbolTracks* tracks) { tracks->frame++; }

void noteSighting(void* context, const GridSighting& s) {
  SymbolTracks* tracks = static_cast<SymbolTracks*>(context);
  if (!layoutValid(s.layout) || !s.reading || s.reading->gridColumns != s.layout.columns + 2 ||
      !usableCorners(s.corners))
    return;
  TrackedSymbol* t = findTrack(tracks, s.layout, s.corners, s.mirrored, s.inverted,
                               [&](const TrackedSymbol& t) { return sightingFit(t, s); });
  if (!t) t = newTrack(tracks, s.layout, s.corners, s.mirrored, s.inverted);
  seen(tracks, t, s.corners);
  t->rightIndicatorRead |= s.rightIndicatorRead;
  if (t->decoded) return;
  bool changed = false;
  for (int r = 0; r < s.layout.rows; r++)
    for (int c = 0; c < s.layout.columns; c++) {
      float sure;
      int codeword = cellReading(s.reading, r, c + 1, &sure);
      changed = mergeCell(&t->cells[r * s.layout.columns + c], codeword, sure) || changed;
    }
  if (changed) t->changedFrame = tracks->frame;
}

TrackedSymbol* returnedBefore(SymbolTracks* tracks, const SymbolReading& reading) {
  SymbolLayout layout = {reading.rows, reading.columns, reading.ecLevel};
  if (!layoutValid(layout) || !usableCorners(reading.corners)) return nullptr;
  return findTrack(tracks, layout, reading.corners, reading.mirrored, reading.inverted,
                   [&](const TrackedSymbol& t) { return t.decoded && holdsCodewords(t, reading) ? 0 : -1; });
}

bool noteConfirmed(SymbolTracks* tracks, const SymbolReading& reading) {
  SymbolLayout layout = {reading.rows, reading.columns, reading.ecLevel};
  if (!layoutValid(layout) || reading.codewordCount != layout.rows * layout.columns ||
      !usableCorners(reading.corners))
    return false;
  const float* corners = reading.corners;
  TrackedSymbol* t = returnedBefore(tracks, reading);
  if (t) {
    seen(tracks, t, corners);
    return true;
  }
  t = findTrack(tracks, layout, corners, reading.mirrored, reading.inverted,
                [&](const TrackedSymbol& t) { return t.decoded ? -1 : codewordsFit(t, reading); });
  if (!t) t = newTrack(tracks, layout, corners, reading.mirrored, reading.inverted);
  trackDecoded(tracks, t, reading);
  return false;
}

bool onlyReturnedSeen(const SymbolTracks* tracks) {
  bool seenNow = false;
  for (int i = 0; i < tracks->count; i++) {
    const TrackedSymbol& t = tracks->symbols[i];
    if (t.lastFrame != tracks->frame) continue;
    if (!t.decoded) return false;
    seenNow = true;
  }
  return seenNow;
}

void trackDecoded(SymbolTracks* tracks, TrackedSymbol* t, const SymbolReading& reading) {
  seen(tracks, t, reading.corners);
  t->decoded = 1;
  t->changedFrame = tracks->frame;
  int n = t->layout.rows * t->layout.columns;
  for (int i = 0; i < n && i < reading.codewordCount; i++) t->cells[i] = {(short)reading.codewords[i], 1.0f};
}

}  // namespace pdf417read::detail
