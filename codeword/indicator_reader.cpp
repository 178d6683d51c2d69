#include "codeword/indicator_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "codeword/pattern_table.h"

namespace pdf417read::detail {

enum { kMaxEdges = 48, kUnknown = -1 };

// The index of every pixel of a 0/1 row (any non-zero is dark) whose
// colour differs from the one before it, sixteen pixels compared at once.
// changes: room for `length` ints. Returns the number of changes.
static int rowChanges(const unsigned char* row, int length, int* changes) {
  if (length < 1) return 0;
  int count = 0, x = 0;
  unsigned int previous = row[0] != 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  for (; x + 16 <= length; x += 16) {
    __m128i light = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)(row + x)), zero);
    unsigned int dark = ~(unsigned int)_mm_movemask_epi8(light) & 0xffffu;
    unsigned int changed = (dark ^ ((dark << 1) | previous)) & 0xffffu;
    previous = dark >> 15;
    while (changed) {
      changes[count++] = x + __builtin_ctz(changed);
      changed &= changed - 1;
    }
  }
#endif
  for (; x < length; x++) {
    unsigned int dark = row[x] != 0;
    if (dark != previous) changes[count++] = x;
    previous = dark;
  }
  return count;
}

// The first of the sorted changes at or after x.
static int firstChangeFrom(const int* changes, int count, int x) {
  int low = 0, high = count;
  while (low < high) {
    int middle = (low + high) / 2;
    if (changes[middle] < x) low = middle + 1;
    else high = middle;
  }
  return low;
}

// firstChangeFrom, walked to from the index `near`: a row is read left to
// right, each place asked for a few changes past the last.
static int changeNear(const int* changes, int count, int x, int near) {
  int k = near < 0 ? 0 : near > count ? count : near;
  while (k > 0 && changes[k - 1] >= x) k--;
  while (k < count && changes[k] < x) k++;
  return k;
}

// The changes from index `first` (the first after the codeword's start) up
// to `limit`, with runs narrower than half a module folded into their
// neighbours (specks and ragged edges).
static int findPatternEdges(const int* changes, int changeCount, int first, int limit, int halfModule, int* edges) {
  int count = 0;
  for (int k = first; k < changeCount && changes[k] < limit && count < kMaxEdges; k++)
    edges[count++] = changes[k];
  for (int j = 1; j < count;) {
    if (edges[j] - edges[j - 1] >= halfModule) {
      j++;
      continue;
    }
    // The run between edges j - 1 and j is a speck: its neighbours merge.
    std::memmove(edges + j - 1, edges + j + 1, sizeof(int) * (size_t)(count - j - 1));
    count -= 2;
    j = j > 1 ? j - 1 : 1;
  }
  return count;
}

// The module boundary nearest to `offset` pixels into a codeword `width`
// pixels wide: floor(17 * offset / width + 1/2), in integers, from an
// estimate by one reciprocal that is off by at most one.
static int nearestModule(long long offset, long long width, double reciprocal) {
  long long twice = 34 * offset + width, unit = 2 * width;
  long long module = (long long)((double)twice * reciprocal);
  if (module * unit > twice) module--;
  else if ((module + 1) * unit <= twice) module++;
  return (int)module;
}

// The 17-module key of eight runs ending at edges[0..7] after start, each
// edge rounded to its nearest module boundary; -1 when a run comes out
// narrower than one module or wider than six.
static int roundedCodewordKey(int start, const int* edges, int width) {
  int key = 0, previousModule = 0;
  double reciprocal = 1.0 / (2.0 * width);
  for (int i = 0; i < 8; i++) {
    int module = i == 7 ? 17 : nearestModule(edges[i] - start, width, reciprocal);
    int run = module - previousModule;
    if (run < 1 || run > 6) return -1;
    // A bar sets bits 16 - m of its modules m: `run` bits ending at bit 17 - module.
    if (i % 2 == 0) key |= ((1 << run) - 1) << (17 - module);
    previousModule = module;
  }
  return key;
}

// readPatternAt from the row's changes, `first` the index of the first
// change after start; *measured gets the pattern's width as read.
static int patternFromChanges(const unsigned char* row, int rowLength, const int* changes, int changeCount, int start,
                              int first, int nominal, int* measured) {
  if (start < 0 || start >= rowLength || nominal < 17 || !row[start]) return 0;
  int limit = start + nominal + nominal / 4;
  if (limit > rowLength) limit = rowLength;
  int edges[kMaxEdges];
  int count = findPatternEdges(changes, changeCount, first, limit, nominal / 34, edges);
  if (count < 7) return 0;
  // The last space ends where the next codeword's bar begins, or runs on to
  // the end of the nominal width.
  if (count == 7) edges[7] = edges[6] + 1 > start + nominal ? edges[6] + 1 : start + nominal;
  int width = edges[7] - start;
  if (width < nominal * 0.7 || width > nominal * 1.3) return 0;
  int key = roundedCodewordKey(start, edges, width);
  int index = key < 0 ? -1 : findPatternIndex(key);
  *measured = width;
  return index < 0 ? 0 : codewordPatternValues[index];
}

int readPatternAt(const unsigned char* row, int rowLength, int start, int nominal) {
  if (!row || rowLength < 1) return 0;
  int* changes = (int*)std::malloc(sizeof(int) * (size_t)rowLength);
  if (!changes) return 0;
  int changeCount = rowChanges(row, rowLength, changes);
  int width;
  int value = patternFromChanges(row, rowLength, changes, changeCount, start,
                                 firstChangeFrom(changes, changeCount, start + 1), nominal, &width);
  std::free(changes);
  return value;
}

// The index of the rising edge (light to dark) nearest to `expected`, within
// `reach`; of two as near, the earlier; -1 when there is none. The search
// walks from the index *near and moves it to where the search began.
static int findBarStart(const unsigned char* row, const int* changes, int changeCount, int expected, int reach,
                        int* near) {
  int best = -1, bestDistance = 0;
  *near = changeNear(changes, changeCount, expected - reach, *near);
  for (int k = *near; k < changeCount; k++) {
    int x = changes[k];
    if (x > expected + reach) break;
    if (!row[x]) continue;
    int distance = x > expected ? x - expected : expected - x;
    if (best < 0 || distance < bestDistance) best = k, bestDistance = distance;
  }
  return best;
}

// The codeword whose first bar lies within two modules of `expected`, or 0;
// *start and *width get where it begins and how wide it reads. nominal: the
// width it should have, 17 modules.
static int codewordNear(const unsigned char* row, int gridWidth, const int* changes, int changeCount, int expected,
                        int nominal, int* near, int* start, int* width) {
  int bar = findBarStart(row, changes, changeCount, expected, 2 * nominal / 17, near);
  if (bar < 0) return 0;
  *start = changes[bar];
  *width = nominal;
  return patternFromChanges(row, gridWidth, changes, changeCount, *start, bar + 1, nominal, width);
}

// Where column c's first bar should begin, and how wide it should be: as
// `places` puts it, else evenly spaced after a margin of two modules.
static int placedStart(const ColumnPlaces* places, int c, int modulePixels) {
  return places ? places->start[c] : 2 * modulePixels + c * 17 * modulePixels;
}

static int placedWidth(const ColumnPlaces* places, int c, int modulePixels) {
  return places ? places->width[c] : 17 * modulePixels;
}

// Table values of the codewords of one grid row (0 where none was read),
// and where each began (starts, -1 where none).
// Each codeword is looked for where the previous one ended, so the reading
// follows a grid that drifts by a module or so across the row. When the
// previous one read more than a module wider or narrower than the grid's
// spacing, it is looked for first at that width, so that the reading
// follows modules that narrow along the row (a label round a bottle, a
// steep view) where the grid spaces them evenly. changes: room for
// gridWidth ints.
static void readRowValues(const unsigned char* row, int gridWidth, int gridColumns, int modulePixels,
                          const unsigned char* columnSeen, const ColumnPlaces* places, int* changes, int* values,
                          int* starts) {
  int lastColumn = -1, lastStart = 0, lastWidth = 0;
  int changeCount = rowChanges(row, gridWidth, changes);
  int near = 0;
  for (int c = 0; c < gridColumns; c++) {
    values[c] = 0;
    starts[c] = -1;
    if (columnSeen && !columnSeen[c]) continue;
    int nominal = placedWidth(places, c, modulePixels), placed = placedStart(places, c, modulePixels);
    int start = 0, width = nominal;
    int expected = placed, followed = placed;
    if (lastColumn >= 0) {
      int spacing = placed - placedStart(places, lastColumn, modulePixels);
      int lastNominal = placedWidth(places, lastColumn, modulePixels);
      expected = lastStart + spacing;
      // As wide as the previous codeword read, against as wide as it should be.
      followed = places ? lastStart + (int)((long long)spacing * lastWidth / lastNominal)
                        : lastStart + (c - lastColumn) * lastWidth;
    }
    bool follow = lastColumn >= 0 && std::abs(followed - expected) > nominal / 17;
    values[c] = codewordNear(row, gridWidth, changes, changeCount, follow ? followed : expected, nominal, &near,
                             &start, &width);
    // A row's codewords share a cluster: one of another was read astray.
    if (follow && values[c] && (values[c] - 1) / 929 != (values[lastColumn] - 1) / 929) values[c] = 0;
    if (follow && !values[c])
      values[c] = codewordNear(row, gridWidth, changes, changeCount, expected, nominal, &near, &start, &width);
    if (values[c]) lastColumn = c, lastStart = start, lastWidth = width, starts[c] = start;
  }
}

static int clusterOf(int value) { return (value - 1) / 929; }
static int codewordOf(int value) { return (value - 1) % 929; }

// The cluster most codewords of the row agree on, or kUnknown.
static int rowCluster(const int* values, int gridColumns) {
  int votes[3] = {0, 0, 0};
  for (int c = 0; c < gridColumns; c++)
    if (values[c]) votes[clusterOf(values[c])]++;
  int best = 0;
  for (int k = 1; k < 3; k++)
    if (votes[k] > votes[best]) best = k;
  for (int k = 0; k < 3; k++)
    if (k != best && votes[k] == votes[best]) return kUnknown;
  return votes[best] > 0 ? best : kUnknown;
}

// Every row indicator carries its row's number divided by three; the
// cluster gives the rest.
static int rowFromIndicator(int value, int cluster) {
  if (!value || clusterOf(value) != cluster) return kUnknown;
  return 3 * (codewordOf(value) / 30) + cluster;
}

// The layout quantity an indicator holds, by side and cluster.
static void voteLayout(GridReading* reading, int value, bool left) {
  if (!value) return;
  int cluster = clusterOf(value), part = codewordOf(value) % 30;
  static const int kLeftHolds[3] = {0, 2, 1}, kRightHolds[3] = {1, 0, 2};
  int holds = left ? kLeftHolds[cluster] : kRightHolds[cluster];
  int* votes = holds == 0 ? reading->rowGroupVotes : holds == 1 ? reading->columnVotes : reading->levelVotes;
  votes[part]++;
}

static void addVote(GridReading* reading, int row, int column, int codeword) {
  if (row < 0 || row >= kMaxSymbolRows) return;
  int* values = reading->value[row][column];
  int* counts = reading->count[row][column];
  int weakest = 0;
  for (int k = 0; k < kVoteCandidates; k++) {
    if (counts[k] > 0 && values[k] == codeword) {
      counts[k]++;
      return;
    }
    if (counts[k] < counts[weakest]) weakest = k;
  }
  if (counts[weakest] <= 1) {
    values[weakest] = codeword;
    counts[weakest] = 1;
  }
}

// Rows whose indicators were unreadable take their number from the nearest
// placed row, stepped by the difference of their clusters.
static void placeUnnumberedRows(const int* clusters, int* rowNumbers, int gridHeight) {
  int* placed = (int*)std::malloc(sizeof(int) * (size_t)gridHeight);
  if (!placed) return;
  std::memcpy(placed, rowNumbers, sizeof(int) * (size_t)gridHeight);
  for (int i = 0; i < gridHeight; i++) {
    if (placed[i] != kUnknown || clusters[i] == kUnknown) continue;
    for (int d = 1; d < gridHeight; d++) {
      int neighbour = kUnknown;
      if (i - d >= 0 && placed[i - d] != kUnknown) neighbour = placed[i - d];
      else if (i + d < gridHeight && placed[i + d] != kUnknown) neighbour = placed[i + d];
      if (neighbour == kUnknown) continue;
      int step = ((clusters[i] - neighbour % 3) % 3 + 3) % 3;
      rowNumbers[i] = neighbour + (step == 2 ? -1 : step);
      break;
    }
  }
  std::free(placed);
}

// Only the tallies a reading of gridColumns columns can touch are cleared:
// a value counts only where its count is above 0, and the grid rows are
// marked unread as far as the grids read so far reach (markRowsUnread).
void clearReading(GridReading* reading, int gridColumns) {
  int columns = gridColumns < 0 ? 0 : gridColumns > kMaxGridColumns ? kMaxGridColumns : gridColumns;
  for (int r = 0; r < kMaxSymbolRows; r++) std::memset(reading->count[r], 0, sizeof(int) * kVoteCandidates * columns);
  std::memset(reading->rowGroupVotes, 0, sizeof reading->rowGroupVotes);
  std::memset(reading->columnVotes, 0, sizeof reading->columnVotes);
  std::memset(reading->levelVotes, 0, sizeof reading->levelVotes);
  reading->gridRows = 0;
  reading->rowsMarked = 0;
  reading->rightIndicatorReads = 0;
  reading->gridColumns = gridColumns;
}

// Marks the grid rows below gridHeight that no grid has reached yet as
// showing no row.
static void markRowsUnread(GridReading* reading, int gridHeight) {
  int rows = gridHeight < kMaxGridRows ? gridHeight : kMaxGridRows;
  if (rows <= reading->rowsMarked) return;
  size_t from = (size_t)reading->rowsMarked, bytes = sizeof(short) * (size_t)(rows - reading->rowsMarked);
  std::memset(reading->rowOfGridRow + from, 0xff, bytes);
  std::memset(reading->leftRowOfGridRow + from, 0xff, bytes);
  std::memset(reading->rightRowOfGridRow + from, 0xff, bytes);
  reading->rowsMarked = rows;
}

// Remembers which symbol row each grid row showed.
static void noteRowNumbers(const int* rowNumbers, int gridHeight, GridReading* reading) {
  int kept = gridHeight < kMaxGridRows ? gridHeight : kMaxGridRows;
  if (kept > reading->gridRows) reading->gridRows = kept;
  for (int i = 0; i < kept; i++)
    if (reading->rowOfGridRow[i] < 0 && rowNumbers[i] >= 0 && rowNumbers[i] < kMaxSymbolRows)
      reading->rowOfGridRow[i] = (short)rowNumbers[i];
}

void readGrid(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns,
              int modulePixels, int indicators, const unsigned char* columnSeen,
              GridReading* reading) {
  readGridRows(grid, gridWidth, gridHeight, gridColumns, modulePixels, indicators, columnSeen, nullptr, reading);
}

void readGridRows(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns, int modulePixels,
                  int indicators, const unsigned char* columnSeen, const int* knownRows, GridReading* reading) {
  readGridRowsAt(grid, gridWidth, gridHeight, gridColumns, modulePixels, indicators, columnSeen, knownRows, nullptr,
                 nullptr, reading);
}

// The median of each column's starts over the grid rows whose codeword
// there read in the row's cluster; starts: gridHeight rows of gridColumns.
static void medianStarts(const int* values, const int* starts, const int* clusters, int gridHeight, int gridColumns,
                         FoundColumns* found) {
  int* column = (int*)std::malloc(sizeof(int) * (size_t)gridHeight);
  for (int c = 0; c < gridColumns; c++) {
    int n = 0;
    for (int i = 0; column && i < gridHeight; i++) {
      size_t at = (size_t)i * gridColumns + c;
      if (values[at] && clusters[i] != kUnknown && clusterOf(values[at]) == clusters[i]) column[n++] = starts[at];
    }
    if (n > 0) std::nth_element(column, column + n / 2, column + n);
    found->start[c] = n > 0 ? column[n / 2] : -1;
    found->count[c] = n;
  }
  std::free(column);
}

void readGridRowsAt(const unsigned char* grid, int gridWidth, int gridHeight, int gridColumns, int modulePixels,
                    int indicators, const unsigned char* columnSeen, const int* knownRows, const ColumnPlaces* places,
                    FoundColumns* found, GridReading* reading) {
  if (!grid || gridWidth < 1 || gridHeight < 1 || gridColumns < 1 || gridColumns > kMaxGridColumns ||
      modulePixels < 1 || gridColumns != reading->gridColumns)
    return;
  int* values = (int*)std::malloc(sizeof(int) * (size_t)gridHeight * gridColumns);
  int* clusters = (int*)std::malloc(sizeof(int) * (size_t)gridHeight);
  int* rowNumbers = (int*)std::malloc(sizeof(int) * (size_t)gridHeight);
  int* changes = (int*)std::malloc(sizeof(int) * (size_t)gridWidth);
  int* starts = found ? (int*)std::malloc(sizeof(int) * (size_t)gridHeight * gridColumns) : nullptr;
  int rowStarts[kMaxGridColumns];
  if (values && clusters && rowNumbers && changes && (starts || !found)) {
    markRowsUnread(reading, gridHeight);
    for (int i = 0; i < gridHeight; i++) {
      int* rowValues = values + (size_t)i * gridColumns;
      int* startsOfRow = starts ? starts + (size_t)i * gridColumns : rowStarts;
      const unsigned char* row = grid + (size_t)i * gridWidth;
      // Grid rows finer than the symbol's often repeat the row above: its
      // values are the ones this row would give.
      if (i > 0 && std::memcmp(row, row - gridWidth, (size_t)gridWidth) == 0) {
        std::memcpy(rowValues, rowValues - gridColumns, sizeof(int) * (size_t)gridColumns);
        if (starts) std::memcpy(startsOfRow, startsOfRow - gridColumns, sizeof(int) * (size_t)gridColumns);
      } else {
        readRowValues(row, gridWidth, gridColumns, modulePixels, columnSeen, places, changes, rowValues, startsOfRow);
      }
      clusters[i] = rowCluster(rowValues, gridColumns);
      int left = indicators & kLeftIndicator ? rowValues[0] : 0;
      int right = indicators & kRightIndicator ? rowValues[gridColumns - 1] : 0;
      voteLayout(reading, left, true);
      voteLayout(reading, right, false);
      // Each indicator's own cluster completes its row number.
      if (i < kMaxGridRows && left && reading->leftRowOfGridRow[i] < 0)
        reading->leftRowOfGridRow[i] = (short)rowFromIndicator(left, clusterOf(left));
      if (i < kMaxGridRows && right && reading->rightRowOfGridRow[i] < 0)
        reading->rightRowOfGridRow[i] = (short)rowFromIndicator(right, clusterOf(right));
      rowNumbers[i] = kUnknown;
      if (clusters[i] != kUnknown) {
        rowNumbers[i] = rowFromIndicator(left, clusters[i]);
        int fromRight = rowFromIndicator(right, clusters[i]);
        if (fromRight != kUnknown) reading->rightIndicatorReads++;
        if (rowNumbers[i] == kUnknown) rowNumbers[i] = fromRight;
      }
    }
    if (knownRows)
      for (int i = 0; i < gridHeight; i++) rowNumbers[i] = knownRows[i] >= 0 ? knownRows[i] : kUnknown;
    else
      placeUnnumberedRows(clusters, rowNumbers, gridHeight);
    noteRowNumbers(rowNumbers, gridHeight, reading);
    for (int i = 0; i < gridHeight; i++) {
      if (rowNumbers[i] == kUnknown) continue;
      for (int c = 0; c < gridColumns; c++) {
        int value = values[(size_t)i * gridColumns + c];
        if (!value) continue;
        // A tilted grid row may cross into the row above or below; the
        // cluster tells which.
        int step = ((clusterOf(value) - rowNumbers[i] % 3) % 3 + 3) % 3;
        addVote(reading, rowNumbers[i] + (step == 2 ? -1 : step), c, codewordOf(value));
      }
    }
    if (found) medianStarts(values, starts, clusters, gridHeight, gridColumns, found);
  }
  std::free(starts);
  std::free(values);
  std::free(clusters);
  std::free(rowNumbers);
  std::free(changes);
}

static int mostVoted(const int* votes, int size) {
  int best = 0;
  for (int k = 1; k < size; k++)
    if (votes[k] > votes[best]) best = k;
  return votes[best] > 0 ? best : kUnknown;
}

bool layoutFromIndicators(const GridReading* reading, SymbolLayout* layout) {
  int rowGroup = mostVoted(reading->rowGroupVotes, 30);
  int columns = mostVoted(reading->columnVotes, 30);
  int level = mostVoted(reading->levelVotes, 30);
  layout->rows = layout->columns = layout->level = 0;
  if (columns != kUnknown) layout->columns = columns + 1;
  if (rowGroup == kUnknown || level == kUnknown) return false;
  layout->rows = rowGroup * 3 + level % 3 + 1;
  layout->level = level / 3;
  return layout->rows >= 3 && layout->rows <= kMaxSymbolRows && layout->columns >= 1 &&
         layout->level <= 8;
}

// The codeword most grid rows saw in a cell; -1 when none, or when the
// runner-up is nearly as common (better an erasure than a likely error).
static int cellCodeword(const int* values, const int* counts) {
  int best = 0, second = 0;
  for (int k = 1; k < kVoteCandidates; k++)
    if (counts[k] > counts[best]) best = k;
  for (int k = 0; k < kVoteCandidates; k++)
    if (k != best && counts[k] > second) second = counts[k];
  if (counts[best] == 0 || second * 3 > counts[best] * 2) return -1;
  return values[best];
}

int cellReading(const GridReading* reading, int row, int column, float* sureness) {
  *sureness = 0.0f;
  if (row < 0 || row >= kMaxSymbolRows || column < 0 || column >= reading->gridColumns) return -1;
  const int* counts = reading->count[row][column];
  int codeword = cellCodeword(reading->value[row][column], counts);
  if (codeword < 0) return -1;
  int best = 0, all = 0;
  for (int k = 0; k < kVoteCandidates; k++) best = counts[k] > best ? counts[k] : best, all += counts[k];
  // Lead over the other candidates, shrunk when few grid rows saw the cell.
  *sureness = (float)(2 * best - all) / (float)(all + 1);
  return codeword;
}

int assembleCodewords(const GridReading* reading, const SymbolLayout* layout, int* codewords,
                      int* erasures, int* erasureCount) {
  *erasureCount = 0;
  if (layout->rows < 1 || layout->rows > kMaxSymbolRows || layout->columns < 1 ||
      layout->columns > kMaxDataColumns || reading->gridColumns != layout->columns + 2)
    return -1;
  int n = 0;
  for (int r = 0; r < layout->rows; r++)
    for (int c = 1; c <= layout->columns; c++) {
      int codeword = cellCodeword(reading->value[r][c], reading->count[r][c]);
      if (codeword < 0) erasures[(*erasureCount)++] = n;
      codewords[n++] = codeword;
    }
  return n;
}

}  // namespace pdf417read::detail
