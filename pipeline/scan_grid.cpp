#include "pipeline/scan_grid.h"

#include <cmath>

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// The map from a grid's points to the picture's.
ProjectiveMap gridMap(const GridOutcome& g) {
  float w = (float)g.gridWidth, h = (float)g.gridHeight;
  const float grid[8] = {0.0f, 0.0f, w, 0.0f, w, h, 0.0f, h};
  return mapQuadToQuad(grid, g.corners);
}

// The point (x, y) through a map.
Vec mapPoint(const ProjectiveMap& m, double x, double y) {
  double w = m.a13 * x + m.a23 * y + m.a33;
  return {(m.a11 * x + m.a21 * y + m.a31) / w, (m.a12 * x + m.a22 * y + m.a32) / w};
}

// The grid point (x, y) in picture pixel indexes.
Vec gridToPicture(const GridOutcome& g, double x, double y) { return mapPoint(gridMap(g), x, y); }

// The symbol's outline: the start pattern's outer edge to the stop
// pattern's, its first row's top to its last row's bottom, in the symbol's
// own frame.
void fillOutline(const GridOutcome& g, const Frame& f, const RowSpan& span, SymbolReading* out) {
  double mp = g.modulePixels;
  // A compact symbol was read as a full one: its one-module stop bar lies
  // where the right row indicator would begin.
  double left = (kGridMargin - 17) * mp;
  double right = f.compact ? g.gridWidth - (kGridMargin + 16) * mp : g.gridWidth - (kGridMargin - 18) * mp;
  double top = span.direction > 0 ? span.top : span.bottom, bottom = span.direction > 0 ? span.bottom : span.top;
  Vec points[4] = {gridToPicture(g, left, top), gridToPicture(g, right, top), gridToPicture(g, right, bottom),
                   gridToPicture(g, left, bottom)};
  for (int k = 0; k < 4; k++) {
    out->corners[2 * k] = (float)points[k].x;
    out->corners[2 * k + 1] = (float)points[k].y;
  }
  out->mirrored = span.direction < 0;
  out->compact = f.compact;
}

// The grid row where a side meets symbol row position `row` (fractional).
double gridRowOf(const RowFit& fit, double row) { return (row - fit.offset) / fit.slope; }

RowGeometry symbolGeometry(const GridOutcome& g, const RowFit& left, const RowFit& right, int rows, int gridColumns) {
  RowGeometry rg;
  double mp = g.modulePixels;
  rg.leftX = kGridMargin * mp, rg.rightX = (kGridMargin + 17.0 * gridColumns) * mp;
  double top = -0.5, bottom = rows - 0.5;
  Vec corners[4] = {gridToPicture(g, rg.leftX, gridRowOf(left, top)), gridToPicture(g, rg.rightX, gridRowOf(right, top)),
                    gridToPicture(g, rg.rightX, gridRowOf(right, bottom)),
                    gridToPicture(g, rg.leftX, gridRowOf(left, bottom))};
  float from[8] = {(float)rg.leftX, (float)top, (float)rg.rightX, (float)top, (float)rg.rightX, (float)bottom,
                   (float)rg.leftX, (float)bottom};
  float to[8];
  for (int k = 0; k < 4; k++) to[2 * k] = (float)corners[k].x, to[2 * k + 1] = (float)corners[k].y;
  rg.map = mapQuadToQuad(from, to);
  rg.left = rg.right = {true, 1.0, 0.0};
  rg.lines = 0;
  rg.mirrored = left.slope < 0;
  return rg;
}

void fillOutlineOf(const RowGeometry& symbol, int modulePixels, int rows, bool compact, SymbolReading* out) {
  double left = symbol.leftX - 17.0 * modulePixels;
  double right = compact ? symbol.rightX - 16.0 * modulePixels : symbol.rightX + 18.0 * modulePixels;
  double top = -0.5, bottom = rows - 0.5;
  Vec points[4] = {mapPoint(symbol.map, left, top), mapPoint(symbol.map, right, top),
                   mapPoint(symbol.map, right, bottom), mapPoint(symbol.map, left, bottom)};
  for (int k = 0; k < 4; k++) {
    out->corners[2 * k] = (float)points[k].x;
    out->corners[2 * k + 1] = (float)points[k].y;
  }
  out->mirrored = symbol.mirrored;
  out->compact = compact;
}

// Lines sampled across each symbol row: about one per pixel of its height,
// two to five, spread over its middle so that none strays into the next.
int linesPerRow(const GridOutcome& g, const RowFit& fit, const Frame& f) {
  double sidePixels = std::hypot(f.leftBottom.x - f.leftTop.x, f.leftBottom.y - f.leftTop.y);
  double rowPixels = sidePixels / g.gridHeight / std::fabs(fit.slope);
  int lines = (int)std::lround(rowPixels);
  return lines < 2 ? 2 : lines > 5 ? 5 : lines;
}

namespace {

// The straight line of row position `row` (fractional) from grid x `x`:
// its first point's grid y and its rise per grid x.
void rowLine(const RowGeometry& rg, double row, double x, double* y, double* rise) {
  double top = gridRowOf(rg.left, row), bottom = gridRowOf(rg.right, row);
  *rise = (bottom - top) / (rg.rightX - rg.leftX);
  *y = top + *rise * (x - rg.leftX);
}

}  // namespace

// The gray samples of line k of symbol row r from grid x `x` in steps of dx:
// the lines spread over the row's middle so that none strays into the next.
void sampleRowLine(const ScanContext* ctx, const RowGeometry& rg, int r, int k, double x, double dx,
                   unsigned char* out, int count) {
  double y, rise;
  rowLine(rg, r + 0.6 * ((k + 0.5) / rg.lines - 0.5), x, &y, &rise);
  sampleMappedLine(ctx->gray, ctx->width, ctx->height, rg.map, x, y, dx, rise * dx, out, count, ctx->fill);
}

// The levels of a frame's grid rows top and bottom.
Levels levelsOf(const Frame& f, const GridOutcome& g, double top, double bottom) {
  Frame cut = recut(f, top / g.gridHeight, bottom / g.gridHeight);
  Vec down = downOf(f.across);
  return {dot(cut.leftTop, down), dot(cut.leftBottom, down), dot(cut.rightTop, down), dot(cut.rightBottom, down)};
}

}  // namespace pdf417read::detail::symbol_scan
