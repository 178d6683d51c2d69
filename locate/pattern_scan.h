// A cheap first look at a gray picture: every few rows and every few columns,
// and every few diagonals both ways, are scanned, in both directions along
// the line, for the start and stop patterns. A sighting is kept with
// sub-pixel edges, so that a symbol in any orientation, mirrored or not,
// leaves a trail of sightings along the inner edges of its patterns: a low
// symbol turned by some 45 degrees crosses no row or column from one side of
// a pattern to the other, but does cross diagonals. Nothing of the picture
// is copied whole.
#ifndef PDF417_LOCATE_PATTERN_SCAN_H
#define PDF417_LOCATE_PATTERN_SCAN_H

namespace pdf417read::detail {

// Diagonals run down and to the right, antidiagonals down and to the left.
enum ScanDirection { kScanRows = 0, kScanColumns = 1, kScanDiagonals = 2, kScanAntidiagonals = 3 };
enum PatternKind { kStartPatternKind = 0, kStopPatternKind = 1 };
enum ScanThreshold { kGlobalThreshold = 0, kLocalThreshold = 1 };

// One sighting. Positions are picture pixels, pixel centres at .5: `line` is
// the row's y (rows) or the column's x (columns), `inner` and `outer` are
// positions along that line of the pattern's inner edge (towards the symbol's
// data) and outer edge (towards the quiet zone). Diagonal lines use the
// picture's axes turned by 45 degrees, so that distances stay in pixels:
// line (x - y) / sqrt 2 and position (x + y) / sqrt 2 on diagonals, line
// (x + y) / sqrt 2 and position (y - x) / sqrt 2 on antidiagonals.
struct PatternHit {
  float line;
  float inner;
  float outer;
  unsigned char direction;  // ScanDirection
  unsigned char kind;       // PatternKind
  unsigned char reversed;   // the pattern reads backwards along the line
  unsigned char threshold;  // ScanThreshold
  unsigned char closer;     // seen by a closer look (rescanAround), between the scan's lines
};

struct KeptCrossings;

struct HitList {
  PatternHit* hits;  // caller's room for `capacity` hits
  int capacity;
  int count;
};

struct ScanSettings {
  int step;        // pixels between scanned lines, 1 or more
  int thresholds;  // bit (1 << ScanThreshold) per threshold to scan with
  int globalLevel; // gray level of the global threshold: darker is dark
  int window;      // local threshold: pixels averaged along the line, at most 255
  // Diagonals and antidiagonals scanned: every diagonalStep-th one (some
  // diagonalStep / sqrt 2 pixels apart), sampled every half pixel step,
  // with the global threshold only; 0 scans none.
  int diagonalStep;
  // Not null: the crossings of every other row and column (2 * step
  // apart) at the global threshold are kept here for the light-on-dark
  // look-out (see light_patterns.h).
  KeptCrossings* lightLines;
};

// Appends the sightings of both patterns on the scanned rows and columns.
// Stops adding when the list is full. Returns false only when a working
// buffer could not be allocated.
bool scanForPatterns(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                     HitList* hits);

// Looks again around a sighting: the lines of its direction that the scan
// skipped, within two steps of it, over the stretch where its pattern
// lies and a pattern's width either side, with the global threshold. A
// low symbol turned between the scan directions shows a whole pattern on a
// few lines only; there the skipped lines add the sightings a trail needs.
// Appends what it sees to hits. False only when a working buffer could not
// be allocated.
bool rescanAround(const unsigned char* gray, int width, int height, const ScanSettings& settings,
                  const PatternHit& hit, HitList* hits);

}  // namespace pdf417read::detail

#endif
