#include "pipeline/exact_reading.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pipeline/symbol_acceptance.h"

namespace pdf417read::detail {

namespace {

// The line a * x + b * y + c = 0.
struct Line {
  double a, b, c;
};

Line lineThrough(double x0, double y0, double dx, double dy) { return {dy, -dx, dx * y0 - dy * x0}; }

bool meet(const Line& p, const Line& q, double* x, double* y) {
  double det = p.a * q.b - q.a * p.b;
  if (std::fabs(det) < 1e-9) return false;
  *x = (p.b * q.c - q.b * p.c) / det;
  *y = (q.a * p.c - p.a * q.c) / det;
  return true;
}

// Point k of the search's corner record.
double pointX(const DecodeRecord& record, int k) { return record.corners.entries[2 * k]; }
double pointY(const DecodeRecord& record, int k) { return record.corners.entries[2 * k + 1]; }

// An outer edge: through the outer points the search found on its top and
// bottom rows, at the middle of their rows. A pattern found on one row only
// gives no direction; the inner edge of the same pattern lends its own.
Line outerEdge(const DecodeRecord& record, int top, int bottom, int innerTop, int innerBottom) {
  double dx = pointX(record, bottom) - pointX(record, top);
  double dy = pointY(record, bottom) - pointY(record, top);
  if (dy == 0) {
    dx = pointX(record, innerBottom) - pointX(record, innerTop);
    dy = pointY(record, innerBottom) - pointY(record, innerTop);
  }
  if (dx == 0 && dy == 0) dy = 1;
  return lineThrough(pointX(record, top), pointY(record, top) + 0.5, dx, dy);
}

// The symbol's top or bottom edge, through the walked inner points of the
// start and stop patterns. A walked point stands on the last dark row; the
// edge runs along that row's outer side: above it on the picture's upper
// side of the symbol, below it on the lower side.
Line rowEdge(const DecodeRecord& record, int startPoint, int stopPoint, bool lowerSide) {
  double offset = lowerSide ? 1 : 0;
  double x0 = pointX(record, startPoint), y0 = pointY(record, startPoint) + offset;
  double dx = pointX(record, stopPoint) - x0, dy = pointY(record, stopPoint) + offset - y0;
  if (dx == 0 && dy == 0) dx = 1;
  return lineThrough(x0, y0, dx, dy);
}

enum { kStartOuterTop, kStartOuterBottom, kStopOuterTop, kStopOuterBottom,
       kStartInnerTop, kStartInnerBottom, kStopInnerTop, kStopInnerBottom };

// The four outer corners, top-left, top-right, bottom-right, bottom-left in
// the symbol's frame: where the outer edges of the start and stop patterns
// meet the top of the first row and the bottom of the last. Pixel x covers
// [x, x + 1). A corner whose edges do not meet keeps the search's point.
void outerCorners(const DecodeRecord& record, float* corners) {
  bool rotated = record.rotated != 0;  // its top lies on the picture's lower side
  Line top = rowEdge(record, kStartInnerTop, kStopInnerTop, rotated);
  Line bottom = rowEdge(record, kStartInnerBottom, kStopInnerBottom, !rotated);
  Line start = outerEdge(record, kStartOuterTop, kStartOuterBottom, kStartInnerTop, kStartInnerBottom);
  Line stop = outerEdge(record, kStopOuterTop, kStopOuterBottom, kStopInnerTop, kStopInnerBottom);
  const Line* edges[4][2] = {{&top, &start}, {&top, &stop}, {&bottom, &stop}, {&bottom, &start}};
  const int fallback[4] = {kStartOuterTop, kStopOuterTop, kStopOuterBottom, kStartOuterBottom};
  for (int k = 0; k < 4; k++) {
    double x = pointX(record, fallback[k]), y = pointY(record, fallback[k]);
    meet(*edges[k][0], *edges[k][1], &x, &y);
    corners[2 * k] = (float)x;
    corners[2 * k + 1] = (float)y;
  }
}

// Rows and data columns, when the bands the row reader decoded divide the
// codewords read into a layout a symbol can have.
void exactLayout(const DecodeRecord& record, int* rows, int* columns) {
  int bands = record.reader.bandsRead;
  *rows = *columns = 0;
  if (bands < 3 || bands > 90 || record.codewordCount % bands != 0) return;
  int dataColumns = record.codewordCount / bands;
  if (dataColumns < 1 || dataColumns > 30) return;
  *rows = bands;
  *columns = dataColumns;
}

}  // namespace

void exactReadingOf(const DecodeRecord& record, int verified, SymbolReading* out) {
  int n = record.codewordCount < kMaxSymbolCodewords ? record.codewordCount : kMaxSymbolCodewords;
  std::memcpy(out->codewords, record.codewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  out->corrections = record.correctionResult > 0 ? record.correctionResult : 0;
  out->erasures = record.erasureCount;
  out->ecLevel = -1;
  for (int level = 0; level <= 8; level++)
    if (record.checkCodewordCount == 2 << level) out->ecLevel = level;
  exactLayout(record, &out->rows, &out->columns);
  outerCorners(record, out->corners);
  out->verified = verified;
  out->compact = out->mirrored = out->inverted = 0;
  out->message = record.message;
}

bool exactReadingTrusted(const SymbolReading& reading) {
  return reading.verified && reading.ecLevel >= 0 &&
         correctionHasSpare(2 << reading.ecLevel, reading.erasures, reading.corrections);
}

int readSymbolExact(const unsigned char* gray, int width, int height, SymbolReading* out) {
  if (!gray || width < 1 || height < 1) return kDecodeNoSymbol;
  DecodeRecord* record = (DecodeRecord*)std::malloc(sizeof(DecodeRecord));
  if (!record) return kDecodeNotDecoded;
  DecodeResult* exact = decodeImageKeeping(gray, width, height, record);
  int outcome = record->failure == kDecodeOk ? kDecodeNotDecoded : record->failure;
  if (exact) {
    exactReadingOf(*record, exact->verified, out);
    outcome = kDecodeOk;
  }
  freeDecodeResult(exact);
  std::free(record);
  return outcome;
}

}  // namespace pdf417read::detail
