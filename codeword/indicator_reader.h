// Reads a resampled symbol codeword by codeword, keeping each pattern's
// cluster, and places every grid row in its symbol row by the row indicators.
// Rows that cannot be placed, or codewords never read, become erasures at
// their true positions; the indicators also give the symbol's row count,
// column count and error-correction level.
#ifndef PDF417_CODEWORD_INDICATOR_READER_H
#define PDF417_CODEWORD_INDICATOR_READER_H

namespace pdf417read::detail {

enum {
  kMaxSymbolRows = 90,
  kMaxDataColumns = 30,
  kMaxGridColumns = kMaxDataColumns + 2,  // with the two row indicators
  kVoteCandidates = 3,
  kMaxGridRows = 6000,
};

// What the row indicators say of the symbol; 0 where nothing was read.
struct SymbolLayout {
  int rows;     // 3..90
  int columns;  // data columns, 1..30
  int level;    // error-correction level 0..8
};

// Tallies of one reading: for each symbol row and grid column (indicators
// included), the codewords seen there and how many grid rows saw each; and
// the indicator votes for the layout.
struct GridReading {
  int gridColumns;
  int value[kMaxSymbolRows][kMaxGridColumns][kVoteCandidates];
  int count[kMaxSymbolRows][kMaxGridColumns][kVoteCandidates];
  int rowGroupVotes[32];  // (rows - 1) / 3
  int columnVotes[32];    // columns - 1
  int levelVotes[32];     // level * 3 + (rows - 1) % 3
  // The symbol row each grid row showed, -1 where none (up to kMaxGridRows
  // grid rows; the first grid read of a reading that placed a row wins).
  int gridRows;
  short rowOfGridRow[kMaxGridRows];
  int rightIndicatorReads;  // grid rows whose right row indicator read in their row's cluster
  // The row number each grid row's left and right indicator gave by itself
  // (-1: none), up to kMaxGridRows grid rows: a grid askew to the symbol's
  // rows shows the right ones ahead of or behind the left ones.
  short leftRowOfGridRow[kMaxGridRows];
  short rightRowOfGridRow[kMaxGridRows];
  int rowsMarked;  // grid rows below this are marked in the three arrays above
};

// Reads the pattern whose first bar starts at `start` in a 0/1 row, expected
// to be `nominal` pixels wide. Returns its table value (cluster index * 929 +
// codeword + 1), or 0.
int readPatternAt(const unsigned char* row, int rowLength, int start, int nominal);

// Which grid columns are row indicators.
enum { kLeftIndicator = 1, kRightIndicator = 2, kBothIndicators = 3 };

// Starts a reading of gridColumns codeword columns.
void clearReading(GridReading* reading, int gridColumns);

// Adds what a grid shows to a reading of as many columns.
// grid: gridHeight rows of gridWidth 0/1 bytes showing `gridColumns` codeword
// columns of modulePixels * 17 pixels each after a margin of two modules;
// `indicators` says whether the first column is the left row indicator and
// the last the right one. A column whose flag in `columnSeen` is 0 lies
// outside the picture and is not read (null: all are read).
void readGrid(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns,
              int modulePixels, int indicators, const unsigned char* columnSeen,
              GridReading* reading);

// The same for a grid whose rows are known: grid row i lies on symbol row
// knownRows[i] (-1: unknown, not read). A codeword whose cluster says it
// lies a row above or below still goes there.
void readGridRows(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns, int modulePixels,
                  int indicators, const unsigned char* columnSeen, const int* knownRows, GridReading* reading);

// Where each codeword column of a grid lies along its rows, in grid x: its
// first bar's start and its width. A label round a bottle narrows its
// codewords towards both sides, which no even spacing follows.
struct ColumnPlaces {
  int start[kMaxGridColumns];
  int width[kMaxGridColumns];
};

// Where a reading found each column's codewords: the median grid x their
// first bars began at over the grid rows that read one in their row's
// cluster (-1: none), and how many did.
struct FoundColumns {
  int start[kMaxGridColumns];
  int count[kMaxGridColumns];
};

// readGridRows with each column looked for where `places` puts it (null:
// evenly spaced) and, when `found` is not null, where the codewords read
// began.
void readGridRowsAt(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns, int modulePixels,
                    int indicators, const unsigned char* columnSeen, const int* knownRows, const ColumnPlaces* places,
                    FoundColumns* found, GridReading* reading);

// The layout most indicators agree on; false when they say too little.
bool layoutFromIndicators(const GridReading* reading, SymbolLayout* layout);

// The codeword of one cell as assembleCodewords takes it (-1: an erasure),
// and how sure the grid rows were of it: 0..1, the winner's lead over the
// other candidates, less when few rows saw it.
int cellReading(const GridReading* reading, int row, int column, float* sureness);

// The codewords in symbol order, rows * columns of them, each the one most
// grid rows saw, or -1 (an erasure) where none was seen or two candidates are
// close. Fills codewords (room for kMaxSymbolRows * kMaxDataColumns) and the
// erasure positions; returns the number of codewords, or -1 when the reading
// does not have the layout's column count.
int assembleCodewords(const GridReading* reading, const SymbolLayout* layout, int* codewords,
                      int* erasures, int* erasureCount);

}  // namespace pdf417read::detail

#endif
