// A grid the scan path sampled, what its reading found, and the map between
// its points and the picture's.
#ifndef PDF417_PIPELINE_SCAN_GRID_H
#define PDF417_PIPELINE_SCAN_GRID_H

#include "codeword/indicator_reader.h"
#include "locate/grid_sampling.h"
#include "pipeline/row_fitting.h"
#include "pipeline/scan_frame.h"
#include "pipeline/symbol_reading.h"

namespace pdf417read::detail::symbol_scan {

struct GridOutcome {
  bool verified;
  bool indicatorsRead;  // the row indicators gave a layout
  SymbolLayout layout;
  int gridHeight;
  bool spanFound;
  RowSpan span;  // the symbol the layout belongs to
  int otherSpans;
  RowSpan others[kMaxRowSpans - 1];  // other symbols stacked with it
  float corners[8];  // the grid's corners, picture pixel indexes
  int gridWidth, modulePixels;
  bool rightIndicatorInside;  // the start of the last grid column lies inside the picture
  RowFit sides[2];  // left and right, over the rows of the symbol the layout belongs to
};

// Where a grid's symbol rows lie: each side's row fit through the first
// grid's map, between the left indicator's start and the stop pattern's.
struct RowGeometry {
  ProjectiveMap map;
  RowFit left, right;
  double leftX, rightX;  // grid x of the left indicator's and the stop pattern's first module
  int lines;             // lines sampled across each row
  bool mirrored;         // the symbol's rows count up the first grid
};

struct ScanContext;

// The map from a grid's points to the picture's.
ProjectiveMap gridMap(const GridOutcome& g);

// The point (x, y) through a map.
Vec mapPoint(const ProjectiveMap& m, double x, double y);

// The grid point (x, y) in picture pixel indexes.
Vec gridToPicture(const GridOutcome& g, double x, double y);

// The symbol's outline: the start pattern's outer edge to the stop
// pattern's, its first row's top to its last row's bottom, in the symbol's
// own frame.
void fillOutline(const GridOutcome& g, const Frame& f, const RowSpan& span, SymbolReading* out);

// The grid row where a side meets symbol row position `row` (fractional).
double gridRowOf(const RowFit& fit, double row);

// The symbol's own map, from where the sides' row fits put the first row's
// top and the last row's bottom on the inner edges of the first grid `g`
// of `gridColumns` columns: its grid x is the first grid's (modulePixels a
// module) and its grid y the symbol row position (row r from r - 0.5 to
// r + 0.5), so that module widths change along a row, and row heights down
// the symbol, as the perspective makes them. Every row fit of the result is
// row = y. `lines` is left to the caller.
RowGeometry symbolGeometry(const GridOutcome& g, const RowFit& left, const RowFit& right, int rows, int gridColumns);

// The outline through a symbol's own map: the start pattern's outer edge to
// the stop pattern's (a compact symbol's one-module stop bar), row 0's top
// to the last row's bottom.
void fillOutlineOf(const RowGeometry& symbol, int modulePixels, int rows, bool compact, SymbolReading* out);

// Lines sampled across each symbol row: about one per pixel of its height,
// two to five, spread over its middle so that none strays into the next.
int linesPerRow(const GridOutcome& g, const RowFit& fit, const Frame& f);

// The gray samples of line k of symbol row r from grid x `x` in steps of dx.
void sampleRowLine(const ScanContext* ctx, const RowGeometry& rg, int r, int k, double x, double dx,
                   unsigned char* out, int count);

// The levels of a frame's grid rows top and bottom.
Levels levelsOf(const Frame& f, const GridOutcome& g, double top, double bottom);

}  // namespace pdf417read::detail::symbol_scan

#endif
