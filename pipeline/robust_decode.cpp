#include "pipeline/robust_decode.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codeword/indicator_reader.h"
#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "highlevel/message_decoder.h"
#include "image/gray_conversion.h"
#include "image/picture_bitmap.h"
#include "locate/binarize.h"
#include "locate/grid_sampling.h"
#include "locate/pattern_edges.h"
#include "pipeline/decode_pipeline.h"
#include "locate/adaptive_binarize.h"
#include "pipeline/picture_variants.h"

thread_local int extraReadingsTried = 0;
static thread_local bool patternsSeen = false;  // some reading found a start or stop pattern

enum {
  kGridMargin = 2,  // modules of quiet space read on each side
  kMaxGridSide = 6000,
};

// One step from the original picture to a view, kept to map points back.
struct ViewStep {
  enum Kind { kQuarterTurns, kPad, kRotate, kScale } kind;
  double amount;        // quarter turns, margin, angle or factor
  int fromWidth, fromHeight;  // the picture the step was applied to
  int toWidth, toHeight;      // and what it made
};

enum { kMaxViewSteps = 4 };

// A picture to read: the original after a few steps.
struct View {
  unsigned char* grey;
  int width, height;
  int stepCount;
  ViewStep steps[kMaxViewSteps];
};

// A straight edge x = slope * y + offset from row top to row bottom.
struct Edge {
  double slope, offset;
  double top, bottom;
};

static double columnAt(const Edge& edge, double y) { return edge.slope * y + edge.offset; }

// The step of one module across the symbol (perpendicular to an edge of the
// given slope), for a module `moduleWidth` pixels wide along a picture row.
static void moduleStep(double slope, double moduleWidth, double* dx, double* dy) {
  double scale = moduleWidth / (1.0 + slope * slope);
  *dx = scale;
  *dy = -slope * scale;
}

// Corners of a grid from a left and a right edge line, with a margin of
// kGridMargin modules outside both.
static void gridCorners(const Edge& left, const Edge& right, double moduleWidth, float* corners) {
  double ldx, ldy, rdx, rdy;
  moduleStep(left.slope, moduleWidth, &ldx, &ldy);
  moduleStep(right.slope, moduleWidth, &rdx, &rdy);
  const double m = kGridMargin;
  corners[0] = (float)(columnAt(left, left.top) - m * ldx);
  corners[1] = (float)(left.top - m * ldy);
  corners[2] = (float)(columnAt(right, right.top) + m * rdx);
  corners[3] = (float)(right.top + m * rdy);
  corners[4] = (float)(columnAt(right, right.bottom) + m * rdx);
  corners[5] = (float)(right.bottom + m * rdy);
  corners[6] = (float)(columnAt(left, left.bottom) - m * ldx);
  corners[7] = (float)(left.bottom - m * ldy);
}

// The edge `modules` modules to the right of `edge` (left when negative).
static Edge shiftedEdge(const Edge& edge, double modules, double moduleWidth) {
  double dx, dy;
  moduleStep(edge.slope, moduleWidth, &dx, &dy);
  Edge shifted = edge;
  shifted.offset = edge.offset + modules * dx - edge.slope * modules * dy;
  shifted.top = edge.top + modules * dy;
  shifted.bottom = edge.bottom + modules * dy;
  return shifted;
}

// A pattern's edge, a module longer at both ends: the first and last rows
// where the whole pattern shows lie just inside the symbol.
static Edge edgeOf(const PatternEdge& found, double moduleWidth) {
  Edge edge = {found.slope, found.offset, found.top - moduleWidth, found.bottom + moduleWidth};
  return edge;
}

// The two edges of a symbol whose start and stop patterns were both seen,
// each stretched to the top and bottom the other one reached.
static void alignEdges(Edge* left, Edge* right) {
  double slope = (left->slope + right->slope) * 0.5;
  double across = columnAt(*right, right->top) - columnAt(*left, left->top);
  // Along the top edge, y changes by -slope per pixel across.
  double lift = -slope * across;
  if (left->top + lift < right->top) right->top = left->top + lift;
  else left->top = right->top - lift;
  if (left->bottom + lift > right->bottom) right->bottom = left->bottom + lift;
  else left->bottom = right->bottom - lift;
}

// The grid: gridColumns codeword columns between the margins, sampled grey
// from the view at modulePixels pixels per module.
struct Grid {
  unsigned char* pixels;
  int width, height, modulePixels;
  unsigned char columnSeen[kMaxGridColumns];
};

static bool sampleSymbolGrid(const View& view, const Edge& left, const Edge& right, double moduleWidth,
                             int gridColumns, Grid* grid) {
  double height = std::fmax(left.bottom - left.top, right.bottom - right.top);
  double perpendicular = moduleWidth / std::sqrt(1.0 + left.slope * left.slope);
  int modulePixels = (int)std::lround(2 * perpendicular);
  modulePixels = modulePixels < 4 ? 4 : modulePixels > 8 ? 8 : modulePixels;
  // Edges fitted to stray sightings can claim any height: check it while it
  // is still a floating value.
  if (!(height >= 2 && height < kMaxGridSide)) return false;
  grid->modulePixels = modulePixels;
  grid->width = (17 * gridColumns + 2 * kGridMargin) * modulePixels;
  grid->height = (int)height + 1;
  if (grid->width > kMaxGridSide) return false;
  grid->pixels = (unsigned char*)std::malloc((size_t)grid->width * grid->height);
  if (!grid->pixels) return false;
  float corners[8];
  gridCorners(left, right, moduleWidth, corners);
  sampleGridLinear(view.grey, corners, view.width, view.height, grid->pixels, grid->width, grid->height);
  // A column whose middle falls outside the picture was never photographed.
  double dx, dy;
  moduleStep(left.slope, moduleWidth, &dx, &dy);
  double middle = (left.top + left.bottom) * 0.5;
  for (int c = 0; c < gridColumns; c++) {
    double modules = 17.0 * c + 8.5;
    double x = columnAt(left, middle) + modules * dx, y = middle + modules * dy;
    grid->columnSeen[c] = x >= 0 && x < view.width && y >= 0 && y < view.height;
  }
  return true;
}

// Reads gridColumns codeword columns between two edges into *reading. The
// grid is read twice, with its own global threshold and with a local one:
// each gets right some codewords the other blurs, and the votes add up.
static bool readColumns(const View& view, const Edge& left, const Edge& right, double moduleWidth,
                        int gridColumns, int indicators, GridReading* reading) {
  Grid grid;
  if (gridColumns < 1 || gridColumns > kMaxGridColumns) return false;
  if (!sampleSymbolGrid(view, left, right, moduleWidth, gridColumns, &grid)) return false;
  size_t bytes = (size_t)grid.width * grid.height;
  unsigned char* binary = (unsigned char*)std::malloc(bytes);
  clearReading(reading, gridColumns);
  for (int local = 0; local < 2 && binary; local++) {
    std::memcpy(binary, grid.pixels, bytes);
    if (local)
      adaptiveBinarize(binary, grid.width, grid.height, 8 * grid.modulePixels);
    else
      binarizeImage(binary, grid.width, grid.height);
    readGrid(binary, grid.width, grid.height, gridColumns, grid.modulePixels, indicators, grid.columnSeen,
             reading);
  }
  std::free(binary);
  std::free(grid.pixels);
  return binary != nullptr;
}

// A correction is believed only with check codewords to spare: at full
// capacity any word corrects to some valid word, right or not.
static bool correctionHasSpare(int checks, int erasureCount, int found) {
  int errors = found - erasureCount;
  int spare = checks - erasureCount - 2 * (errors > 0 ? errors : 0);
  return spare >= (checks > 4 ? 2 : 1);
}

// Error correction with the check codewords the indicators announce.
static bool correctWord(int* codewords, int n, int* erasures, int erasureCount, int level) {
  int checks = 2 << level;
  if (n < checks + 1 || n > kMaxWordLength || erasureCount > checks - 1) return false;
  int found = rsDecodeSilent(codewords, erasures, erasureCount, n, checks);
  if (found < 0 || !correctionHasSpare(checks, erasureCount, found)) return false;
  return codewords[0] >= 1 && codewords[0] <= n - checks;
}

// The exact pipeline takes its check codeword count from the length
// descriptor, which damage can change: its correction is trusted only when
// that count is one a symbol can have and checks were left to spare.
static bool exactReadingTrusted(const DecodeResult* exact) {
  int checks = checkCodewordCount;
  bool possibleCount = checks >= 2 && checks <= 512 && (checks & (checks - 1)) == 0;
  return exact && exact->verified && possibleCount &&
         correctionHasSpare(checks, erasureCount, correctionResult);
}

// The point of a view back in the original picture, undoing its steps.
static void toOriginal(const View& view, double x, double y, double* outX, double* outY) {
  for (int k = view.stepCount - 1; k >= 0; k--) {
    const ViewStep& step = view.steps[k];
    if (step.kind == ViewStep::kPad) {
      x -= step.amount;
      y -= step.amount;
    } else if (step.kind == ViewStep::kScale) {
      x = (x + 0.5) / step.amount - 0.5;
      y = (y + 0.5) / step.amount - 0.5;
    } else if (step.kind == ViewStep::kRotate) {
      double cx = x - step.toWidth * 0.5, cy = y - step.toHeight * 0.5;
      double c = std::cos(step.amount), s = std::sin(step.amount);
      x = cx * c + cy * s + step.fromWidth * 0.5;
      y = -cx * s + cy * c + step.fromHeight * 0.5;
    } else {
      // Each clockwise quarter turn sent (x, y) to (height - 1 - y, x).
      int w = step.toWidth, h = step.toHeight;
      for (int q = 0; q < (int)step.amount; q++) {
        double previousX = y, previousY = w - 1 - x;
        x = previousX;
        y = previousY;
        int t = w;
        w = h;
        h = t;
      }
    }
  }
  *outX = x;
  *outY = y;
}

// The reading of a verified symbol: its codewords, layout and corners back
// in the original picture. The corners run from the start pattern's outer
// edge to the stop pattern's inner edge.
static void fillReading(const View& view, const int* codewords, int n, const SymbolLayout& layout,
                        const Edge& left, const Edge& right, double moduleWidth, SymbolReading* out) {
  Edge outer = shiftedEdge(left, -17.0, moduleWidth);
  double points[4][2] = {{columnAt(outer, outer.top), outer.top},
                         {columnAt(right, right.top), right.top},
                         {columnAt(right, right.bottom), right.bottom},
                         {columnAt(outer, outer.bottom), outer.bottom}};
  for (int k = 0; k < 4; k++) {
    double x = 0, y = 0;
    toOriginal(view, points[k][0], points[k][1], &x, &y);
    out->corners[2 * k] = (float)x;
    out->corners[2 * k + 1] = (float)y;
  }
  std::memcpy(out->codewords, codewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  out->ecLevel = layout.level;
  out->rows = layout.rows;
  out->columns = layout.columns;
  out->verified = 1;
  out->compact = 0;
  out->mirrored = 0;
}

// Reads the symbol between two edges as gridColumns columns; true with
// *out filled when error correction verified it. *indicatorsRead tells
// whether the row indicators gave a layout at all.
static bool readBetween(const View& view, const Edge& left, const Edge& right, double moduleWidth,
                        int gridColumns, bool* indicatorsRead, SymbolReading* out) {
  GridReading* reading = (GridReading*)std::malloc(sizeof(GridReading));
  int* codewords = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  int* erasures = (int*)std::malloc(sizeof(int) * kCodewordBufferSize);
  bool read = false;
  SymbolLayout layout;
  int erasureCount = 0;
  *indicatorsRead = false;
  if (reading && codewords && erasures &&
      readColumns(view, left, right, moduleWidth, gridColumns, kBothIndicators, reading) &&
      (*indicatorsRead = layoutFromIndicators(reading, &layout))) {
    int n = assembleCodewords(reading, &layout, codewords, erasures, &erasureCount);
    read = n > 0 && correctWord(codewords, n, erasures, erasureCount, layout.level);
    if (read) fillReading(view, codewords, n, layout, left, right, moduleWidth, out);
  }
  std::free(reading);
  std::free(codewords);
  std::free(erasures);
  return read;
}

// The data column count the indicators on one side announce, or 0.
static int columnsFromIndicators(const View& view, const Edge& left, const Edge& right, double moduleWidth,
                                 int indicators) {
  GridReading* reading = (GridReading*)std::malloc(sizeof(GridReading));
  int columns = 0;
  SymbolLayout layout;
  if (reading && readColumns(view, left, right, moduleWidth, 1, indicators, reading)) {
    layoutFromIndicators(reading, &layout);
    columns = layout.columns;
  }
  std::free(reading);
  return columns >= 1 && columns <= kMaxDataColumns ? columns : 0;
}

// Both patterns seen: the column count is tried as the module width says,
// as the left row indicators say, and one either side of the first. The
// indicator columns lie on the edges whatever the count, so when they give
// no layout no other count will.
static bool readBetweenPatterns(const View& view, const SymbolEdges& found, double moduleWidth,
                                SymbolReading* out) {
  Edge left = edgeOf(found.start, moduleWidth), right = edgeOf(found.stop, moduleWidth);
  alignEdges(&left, &right);
  double middle = (left.top + left.bottom) * 0.5;
  double across = columnAt(right, middle) - columnAt(left, middle);
  int estimate = (int)std::lround(across / (17.0 * moduleWidth));
  int indicated = columnsFromIndicators(view, left, shiftedEdge(left, 17.0, moduleWidth), moduleWidth,
                                        kLeftIndicator);
  // Neighbours of the estimate only when no indicator could be read.
  int guess = indicated > 0 ? 0 : 1;
  int candidates[4] = {estimate, indicated > 0 ? indicated + 2 : 0, guess * (estimate + 1), guess * (estimate - 1)};
  for (int i = 0; i < 4; i++) {
    int k = candidates[i];
    bool repeated = false;
    for (int j = 0; j < i; j++) repeated = repeated || candidates[j] == k;
    if (k < 3 || k > kMaxGridColumns || repeated) continue;
    bool indicatorsRead = false;
    if (readBetween(view, left, right, across / (17.0 * k), k, &indicatorsRead, out)) return true;
    if (!indicatorsRead) return false;
  }
  return false;
}

// One pattern seen (the other cut off or hidden): the row indicators beside
// it say how many columns the symbol has, and so where its far side lies.
static bool readBesidePattern(const View& view, const PatternEdge& pattern, bool isStart,
                              double moduleWidth, SymbolReading* out) {
  Edge known = edgeOf(pattern, moduleWidth);
  Edge indicatorLeft = isStart ? known : shiftedEdge(known, -17.0, moduleWidth);
  Edge indicatorRight = isStart ? shiftedEdge(known, 17.0, moduleWidth) : known;
  int columns = columnsFromIndicators(view, indicatorLeft, indicatorRight, moduleWidth,
                                      isStart ? kLeftIndicator : kRightIndicator);
  if (columns == 0) return false;
  int k = columns + 2;
  Edge left = isStart ? known : shiftedEdge(known, -17.0 * k, moduleWidth);
  Edge right = isStart ? shiftedEdge(known, 17.0 * k, moduleWidth) : known;
  bool indicatorsRead = false;
  return readBetween(view, left, right, moduleWidth, k, &indicatorsRead, out);
}

// What a reading saw of the symbol, to choose the next reading by.
struct Sighting {
  int edges;           // pattern edges found: 0, 1 or 2
  double slope;        // their tilt
  double moduleWidth;  // their module width, pixels
};

// A local threshold's window: wide enough to hold the start pattern's
// 8-module bar of a symbol that fills much of the picture.
static int thresholdWindow(const View& view) {
  int side = view.width < view.height ? view.width : view.height;
  int window = side / 8;
  return window < 31 ? 31 : window > 255 ? 255 : window;
}

// One reading of a view: find the pattern edges, work out the columns, read
// and correct.
static bool readView(const View& view, bool adaptive, Sighting* seen, SymbolReading* out) {
  seen->edges = 0;
  seen->slope = seen->moduleWidth = 0;
  unsigned char* binary = (unsigned char*)std::malloc((size_t)view.width * view.height);
  if (!binary) return false;
  std::memcpy(binary, view.grey, (size_t)view.width * view.height);
  if (adaptive)
    adaptiveBinarize(binary, view.width, view.height, thresholdWindow(view));
  else
    binarizeImage(binary, view.width, view.height);
  SymbolEdges found;
  int edges = findSymbolEdges(binary, view.width, view.height, &found);
  std::free(binary);
  extraReadingsTried++;
  if (edges == 0) return false;
  patternsSeen = true;

  bool haveStart = found.start.rows > 0, haveStop = found.stop.rows > 0;
  const PatternEdge& main = haveStart && (!haveStop || found.start.rows >= found.stop.rows) ? found.start : found.stop;
  double moduleWidth = haveStart && haveStop
                           ? (found.start.moduleWidth + found.stop.moduleWidth) * 0.5
                           : main.moduleWidth;
  seen->edges = edges;
  seen->slope = main.slope;
  seen->moduleWidth = moduleWidth;
  if (!(moduleWidth > 0.5)) return false;
  if (haveStart && haveStop) return readBetweenPatterns(view, found, moduleWidth, out);
  return readBesidePattern(view, main, haveStart, moduleWidth, out);
}

static void freeView(View* view) {
  std::free(view->grey);
  view->grey = nullptr;
}

// A view one step further than base, made by `made` (null on failure).
static bool addStep(const View& base, ViewStep::Kind kind, double amount, unsigned char* made, int width,
                    int height, View* view) {
  *view = base;
  view->grey = made;
  view->width = width;
  view->height = height;
  if (!made || base.stepCount >= kMaxViewSteps) {
    std::free(made);
    view->grey = nullptr;
    return false;
  }
  ViewStep step = {kind, amount, base.width, base.height, width, height};
  view->steps[view->stepCount++] = step;
  return true;
}

// The original turned by quarterTurns and given a light margin, so that a
// symbol touching the picture's border has quiet space around it.
static bool turnedView(const unsigned char* grey, int width, int height, int quarterTurns, View* view) {
  View original = {const_cast<unsigned char*>(grey), width, height, 0, {}};
  View turned;
  int w = 0, h = 0;
  unsigned char* pixels = turnPictureQuarter(grey, width, height, quarterTurns, &w, &h);
  if (!addStep(original, ViewStep::kQuarterTurns, quarterTurns, pixels, w, h, &turned)) return false;
  int margin = 8 + (width > height ? width : height) / 50;
  pixels = padPicture(turned.grey, w, h, margin, (unsigned char)lightLevel(turned.grey, w, h), &w, &h);
  bool made = addStep(turned, ViewStep::kPad, margin, pixels, w, h, view);
  freeView(&turned);
  return made;
}

// The view turned back by the tilt of its edges.
static bool untiltedView(const View& base, double slope, View* view) {
  double angle = std::atan(slope);
  int w = 0, h = 0;
  unsigned char* pixels = rotatePicture(base.grey, base.width, base.height, angle,
                                        (unsigned char)lightLevel(base.grey, base.width, base.height), &w, &h);
  return addStep(base, ViewStep::kRotate, angle, pixels, w, h, view);
}

static bool enlargedView(const View& base, int factor, View* view) {
  int w = 0, h = 0;
  unsigned char* pixels = enlargePicture(base.grey, base.width, base.height, factor, &w, &h);
  return addStep(base, ViewStep::kScale, factor, pixels, w, h, view);
}

static bool shrunkView(const View& base, int factor, View* view) {
  int w = 0, h = 0;
  unsigned char* pixels = shrinkPicture(base.grey, base.width, base.height, factor, &w, &h);
  return addStep(base, ViewStep::kScale, 1.0 / factor, pixels, w, h, view);
}

// The exact pipeline's reading: the codewords it handed to data decoding and
// its corners, start pattern outer edge on the left, stop pattern inner edge
// on the right.
static void exactReading(const DecodeResult* exact, SymbolReading* out) {
  int n = codewordCount < kMaxSymbolCodewords ? codewordCount : kMaxSymbolCodewords;
  std::memcpy(out->codewords, decodedCodewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  int checks = checkCodewordCount, level = -1;
  for (int l = 0; l <= 8; l++)
    if (checks == 2 << l) level = l;
  out->ecLevel = level;
  out->rows = out->columns = 0;
  const int points[8] = {exact->topLeftX,     exact->topLeftY,     exact->topRightX,   exact->topRightY,
                         exact->bottomRightX, exact->bottomRightY, exact->bottomLeftX, exact->bottomLeftY};
  for (int k = 0; k < 8; k++) out->corners[k] = (float)points[k];
  out->verified = exact->verified;
  out->compact = out->mirrored = 0;
}

// The readings of one orientation, cheapest first, until one is verified.
static bool readOrientation(const View& base, SymbolReading* out) {
  Sighting global, local;
  if (readView(base, false, &global, out) || readView(base, true, &local, out)) return true;
  const Sighting& seen = global.edges ? global : local;
  View other;
  Sighting ignored;
  bool read = false;
  if (seen.edges && std::fabs(seen.slope) > 0.02 && untiltedView(base, seen.slope, &other)) {
    read = readView(other, false, &ignored, out) || readView(other, true, &ignored, out);
    freeView(&other);
  }
  // Modules of a pixel or two read better enlarged. Where nothing was seen
  // they may be too small to be seen at all, so small pictures are enlarged
  // once then too; large ones would cost more than they promise.
  long long pixels = (long long)base.width * base.height;
  int largestFactor = seen.edges ? (seen.moduleWidth < 2.5 ? 3 : 1) : (pixels <= (1 << 19) ? 2 : 1);
  for (int factor = 2; !read && factor <= largestFactor && pixels * factor * factor <= (4 << 20);
       factor++) {
    if (!enlargedView(base, factor, &other)) break;
    read = readView(other, false, &ignored, out);
    freeView(&other);
  }
  if (!read && pixels > (8 << 20) && shrunkView(base, 2, &other)) {
    read = readView(other, false, &ignored, out);
    freeView(&other);
  }
  return read;
}

int readSymbolExact(const unsigned char* grey, int width, int height, SymbolReading* out,
                    bool* trusted) {
  *trusted = false;
  if (!grey || width < 1 || height < 1) return kDecodeNoSymbol;
  unsigned char* copy = (unsigned char*)std::malloc((size_t)width * height);
  if (!copy) return kDecodeNotDecoded;
  std::memcpy(copy, grey, (size_t)width * height);
  DecodeResult* exact = decodeImage(copy, width, height);
  std::free(copy);
  if (!exact) return decodeFailure == kDecodeOk ? kDecodeNotDecoded : decodeFailure;
  exactReading(exact, out);
  *trusted = exactReadingTrusted(exact);
  freeDecodeResult(exact);
  return kDecodeOk;
}

int readSymbolRobust(const unsigned char* grey, int width, int height, int effort, SymbolReading* out) {
  extraReadingsTried = 0;
  patternsSeen = false;
  if (!grey || width < 1 || height < 1) return kDecodeNoSymbol;
  bool trusted = false;
  int exactFailure = readSymbolExact(grey, width, height, out, &trusted);
  if (trusted) return kDecodeOk;
  bool exactRead = exactFailure == kDecodeOk;
  bool symbolSeen = exactFailure != kDecodeNoSymbol;
  out->verified = 0;

  // Upright and upside down first: the common cases. A verified reading
  // replaces an unconfirmed exact one.
  static const int kTurns[4] = {0, 2, 1, 3};
  int turns = effort == kEffortFast ? 2 : 4;
  int readingLimit = effort == kEffortHard ? 2 * kMaxExtraReadings : kMaxExtraReadings;
  for (int i = 0; i < turns && extraReadingsTried < readingLimit; i++) {
    View view;
    if (!turnedView(grey, width, height, kTurns[i], &view)) continue;
    SymbolReading reading;
    bool read = readOrientation(view, &reading);
    freeView(&view);
    if (read) {
      *out = reading;
      return kDecodeOk;
    }
  }
  if (exactRead) return kDecodeOk;
  return symbolSeen || patternsSeen ? kDecodeNotDecoded : kDecodeNoSymbol;
}

DecodeResult* decodeImageRobust(const unsigned char* grey, int width, int height) {
  SymbolReading* reading = (SymbolReading*)std::malloc(sizeof(SymbolReading));
  DecodedMessage* message = (DecodedMessage*)std::malloc(sizeof(DecodedMessage));
  DecodeResult* result = nullptr;
  decodeFailure = kDecodeNotDecoded;
  if (reading && message) {
    decodeFailure = readSymbolRobust(grey, width, height, kEffortNormal, reading);
    if (decodeFailure == kDecodeOk) {
      decodeMessage(reading->codewords, reading->codewordCount, message);
      const float* c = reading->corners;
      int corners[16] = {(int)std::lround(c[0]), (int)std::lround(c[1]), (int)std::lround(c[6]),
                         (int)std::lround(c[7]), 0, 0, 0, 0, 0, 0, 0, 0,
                         (int)std::lround(c[2]), (int)std::lround(c[3]), (int)std::lround(c[4]),
                         (int)std::lround(c[5])};
      result = buildResult(message->bytes, message->length, corners, reading->verified);
      if (!result) decodeFailure = kDecodeNotDecoded;
    }
  }
  std::free(reading);
  std::free(message);
  return result;
}

DecodeResult* decodeImageFileRobust(const char* path) {
  PictureBitmap* bitmap = loadPictureBitmap(path);
  int width = 0, height = 0;
  unsigned char* grey = bitmap ? bitmapToGray(bitmap, &width, &height) : nullptr;
  freePictureBitmap(bitmap);
  if (!grey) {
    decodeFailure = kDecodeNoPicture;
    return nullptr;
  }
  DecodeResult* result = decodeImageRobust(grey, width, height);
  std::free(grey);
  return result;
}
