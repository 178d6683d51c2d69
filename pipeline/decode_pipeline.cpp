#include "pipeline/decode_pipeline.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "highlevel/data_decoder.h"
#include "highlevel/walk_trace.h"
#include "locate/binarize.h"
#include "locate/edge_lines.h"
#include "locate/grid_sampling.h"
#include "locate/start_stop_search.h"

namespace pdf417read::detail {

// A grid larger than this cannot come from a real symbol; refusing it keeps a
// wild corner record from asking for gigabytes.
static const size_t kMaxGridBytes = (size_t)1 << 28;

static DecodeResult* failDecode(DecodeRecord* record, int failure) {
  record->failure = failure;
  return nullptr;
}

static bool darkAt(const unsigned char* pixels, int width, int height, int x, int y) {
  if (x < 0 || x >= width || y < 0 || y >= height) return false;
  return pixels[(size_t)y * width + x] != 0;
}

void walkEdge(const unsigned char* pixels, int width, int height, int* point, float a,
                     float b, float c, int direction) {
  int bestX = point[0], bestY = point[1];
  int misses = 0;
  int lastRow = direction < 0 ? 1 : height - 1;
  if (direction < 0 ? point[1] <= 0 : point[1] >= height) return;
  for (int y = point[1]; direction < 0 ? y >= lastRow : y <= lastRow; y += direction) {
    int x = point[0];  // a horizontal line gives no column: keep the point's own
    bool columnInside = true;
    if (a != 0) {
      double column = -((double)b * y + c) / a;
      columnInside = column > -2.0 && column < (double)width;
      if (columnInside) x = (int)column;
    }
    if (columnInside && (darkAt(pixels, width, height, x, y) ||
                         darkAt(pixels, width, height, x + 1, y))) {
      bestX = x;
      bestY = y;
      misses = 0;
    } else if (++misses == 4) {
      break;
    }
  }
  point[0] = bestX;
  point[1] = bestY;
}

// Runs of almost-light columns among the column sums of a grid.
static int lightColumnRuns(const int* sums, int gridWidth) {
  int max = 0, min = 10000000;
  for (int x = 0; x < gridWidth; x++) {
    if (sums[x] > max)
      max = sums[x];
    else if (sums[x] < min)
      min = sums[x];
  }
  int threshold = min + (max - min) / 10;
  bool inRun = false;
  int count = 0;
  for (int x = 0; x < gridWidth; x++) {
    if (!inRun && sums[x] < threshold) {
      inRun = true;
      count++;
    } else if (inRun && sums[x] > threshold) {
      inRun = false;
    }
  }
  return count;
}

static void addRows(const unsigned char* grid, int gridWidth, int rows, int* sums) {
  for (int y = 0; y < rows; y++)
    for (int x = 0; x < gridWidth; x++) sums[x] += grid[(size_t)y * gridWidth + x];
}

int countLightColumnRuns(const unsigned char* grid, int gridWidth, int gridHeight) {
  if (gridWidth < 1 || gridHeight < 1) return 0;
  int* sums = (int*)std::calloc((size_t)gridWidth, sizeof(int));
  if (!sums) return 0;
  addRows(grid, gridWidth, gridHeight, sums);
  int count = lightColumnRuns(sums, gridWidth);
  std::free(sums);
  return count;
}

static bool gridFits(int gridWidth, int gridHeight) {
  return gridWidth >= 0 && gridHeight >= 1 &&
         (size_t)(gridWidth + 1) * (size_t)gridHeight + 2 <= kMaxGridBytes;
}

// The quadrilateral of the inner corners, top-left, top-right, bottom-right,
// bottom-left, as the grid sampling takes it.
static void innerQuad(const int* corners, float* quad) {
  const int order[8] = {8, 9, 12, 13, 14, 15, 10, 11};
  for (int k = 0; k < 8; k++) quad[k] = (float)corners[order[k]];
}

// countLightColumnRuns of the gridWidth x gridHeight grid sampled from the
// 0/1 picture, taken a band of rows at a time: only the column sums are
// kept, never the whole grid. 0 when out of memory.
static int sampledColumnRuns(const unsigned char* binary, int width, int height, const int* corners,
                             int gridWidth, int gridHeight) {
  if (gridWidth < 1) return 0;
  enum { kBandRows = 32 };
  float quad[8];
  innerQuad(corners, quad);
  int* sums = (int*)std::calloc((size_t)gridWidth, sizeof(int));
  unsigned char* band = (unsigned char*)std::malloc((size_t)gridWidth * kBandRows);
  int count = 0;
  if (sums && band) {
    for (int first = 0; first < gridHeight; first += kBandRows) {
      int rows = gridHeight - first < kBandRows ? gridHeight - first : kBandRows;
      sampleGridRows(binary, quad, width, height, band, (size_t)gridWidth, gridWidth, gridHeight, first, rows);
      addRows(band, gridWidth, rows, sums);
    }
    count = lightColumnRuns(sums, gridWidth);
  }
  std::free(sums);
  std::free(band);
  return count;
}

// The final grid as the row reader wants it, binarised, each row followed by
// a light byte and two more after the last: sampled straight into that
// layout. Null when it cannot be allocated.
static unsigned char* sampleReaderRows(const unsigned char* gray, int width, int height, const int* corners,
                                       int gridWidth, int gridHeight) {
  size_t rowLength = (size_t)gridWidth + 1;
  unsigned char* rows = (unsigned char*)std::malloc(rowLength * gridHeight + 2);
  if (!rows) return nullptr;
  float quad[8];
  innerQuad(corners, quad);
  sampleGridRows(gray, quad, width, height, rows, rowLength, gridWidth, gridHeight, 0, gridHeight);
  binarizeRows(rows, gridWidth, gridHeight, rowLength);
  for (int y = 0; y < gridHeight; y++) rows[y * rowLength + gridWidth] = 0;
  rows[rowLength * gridHeight] = rows[rowLength * gridHeight + 1] = 0;
  return rows;
}

// Codewords read (erasures included) and the positions of the erasures.
static bool listErasures(DecodeRecord* record) {
  const int* codewords = record->codewords;
  record->codewordCount = 0;
  for (int j = 0; j < kCodewordBufferSize; j++)
    if (codewords[j] >= -1 && codewords[j] <= 928) record->codewordCount++;
  record->erasureCount = 0;
  for (int j = 0; j < record->codewordCount; j++) {
    if (codewords[j] >= 0) continue;
    if (record->erasureCount == kErasureListSize) return false;
    record->erasureList[record->erasureCount++] = j;
  }
  return true;
}

// After a failed correction the codewords are still taken when few of the
// data codewords look damaged: fewer than the check codewords of the level
// the row reader learned.
static bool acceptUncorrected(const int* codewords, int ecLevel) {
  int n = codewords[0];
  if (n < 1) return false;
  if (n >= kCodewordBufferSize) n = kCodewordBufferSize - 1;
  int bad = 0;
  for (int j = 1; j <= n; j++)
    if (codewords[j] <= 0) bad++;
  int limit = ecLevel >= 0 && ecLevel < 30 ? 1 << (ecLevel + 1) : 1;
  return bad < limit;
}

// A result holding length bytes of text and the corner points 0, 1, 6 and 7
// of a corner record (16 ints). Null when out of memory.
static DecodeResult* buildResult(const char* text, int length, const int* corners, int verified) {
  DecodeResult* result = (DecodeResult*)std::malloc(sizeof *result);
  if (!result) return nullptr;
  if (length < 0) length = 0;
  result->text = (char*)std::malloc((size_t)length + 1);
  if (!result->text) {
    std::free(result);
    return nullptr;
  }
  std::memcpy(result->text, text, (size_t)length);
  result->text[length] = 0;
  result->textLength = length;
  result->topLeftX = corners[0];
  result->topLeftY = corners[1];
  result->bottomLeftX = corners[2];
  result->bottomLeftY = corners[3];
  result->bottomRightX = corners[14];
  result->bottomRightY = corners[15];
  result->topRightX = corners[12];
  result->topRightY = corners[13];
  result->verified = verified;
  return result;
}

// Width of the final grid: k codeword columns of a whole number of 17-module
// codewords each, from the provisional width W0.
static int finalGridWidth(int provisionalWidth, int columns) {
  int columnWidth = provisionalWidth / columns;
  return columns * 17 * ((columnWidth + 8) / 17);
}

static void resetDecodeRecord(DecodeRecord* record) {
  std::memset(record, 0, sizeof *record);
  resetRowReader(&record->reader);
  record->correctionResult = -1;
  record->failure = kDecodeOk;
}

// The pipeline after binarisation: gray is the picture, binary its 0/1
// version; both are only read from here on. Each stage leaves what it found
// in *record.
static DecodeResult* decodeBinarised(const unsigned char* gray, const unsigned char* binary, int width,
                                     int height, DecodeRecord* record) {
  int* corners = record->corners.entries;
  record->rotated = 0;
  if (!findStartStopUpright(binary, width, height, &record->corners)) {
    if (!findStartStopRotated(binary, width, height, &record->corners))
      return failDecode(record, kDecodeNoSymbol);
    record->rotated = 1;
  }
  record->found = 1;

  float startA, startB, startC, stopA, stopB, stopC;
  lineThroughPoints(corners + 8, corners + 10, &startA, &startB, &startC);
  lineThroughPoints(corners + 12, corners + 14, &stopA, &stopB, &stopC);
  // Outward in the symbol's own frame: a turned symbol's top lies below.
  int up = record->rotated ? 1 : -1;
  walkEdge(binary, width, height, corners + 8, startA, startB, startC, up);
  walkEdge(binary, width, height, corners + 10, startA, startB, startC, -up);
  walkEdge(binary, width, height, corners + 12, stopA, stopB, stopC, up);
  walkEdge(binary, width, height, corners + 14, stopA, stopB, stopC, -up);

  float startEdge = (float)pointDistance(corners + 8, corners + 10);
  float stopEdge = (float)pointDistance(corners + 12, corners + 14);
  int gridHeight = stopEdge >= startEdge ? (int)pointDistance(corners + 12, corners + 14)
                                         : (int)pointDistance(corners + 8, corners + 10);
  float top = (float)pointDistance(corners + 8, corners + 12);
  float bottom = (float)pointDistance(corners + 10, corners + 14);
  int provisionalWidth = (int)((top + bottom) * 0.5);
  if (!gridFits(provisionalWidth, gridHeight)) return failDecode(record, kDecodeNotDecoded);

  int columns = sampledColumnRuns(binary, width, height, corners, provisionalWidth, gridHeight);
  record->columnRuns = columns;
  if (columns == 0) return failDecode(record, kDecodeNotDecoded);

  int gridWidth = finalGridWidth(provisionalWidth, columns);
  record->gridWidth = gridWidth;
  record->gridHeight = gridHeight;
  unsigned char* readerRows = gridFits(gridWidth, gridHeight)
                                  ? sampleReaderRows(gray, width, height, corners, gridWidth, gridHeight)
                                  : nullptr;
  if (!readerRows) return failDecode(record, kDecodeNotDecoded);
  int* codewords = record->codewords;
  int readStatus = detectBStoCW(readerRows, gridWidth + 1, gridHeight, codewords, &record->reader);
  std::free(readerRows);
  if (readStatus < 0) return failDecode(record, kDecodeNotDecoded);

  if (!listErasures(record)) return failDecode(record, kDecodeNotDecoded);
  record->checkCodewordCount = record->codewordCount - codewords[0];
  int corrected = rsDecode(codewords, record->erasureList, record->erasureCount, record->codewordCount,
                           record->checkCodewordCount, 0);
  record->correctionResult = corrected;
  if (corrected < 0 && !acceptUncorrected(codewords, record->reader.ecLevel))
    return failDecode(record, kDecodeNotDecoded);

  TracedText traced;
  decodeDataCodewords(codewords, record->codewordCount, &record->message, &traced);
  DecodeResult* result = buildResult(record->message.bytes, record->message.length, corners, corrected >= 0);
  if (!result) return failDecode(record, kDecodeNotDecoded);
  return result;
}

// The caller's record, or one of our own for a caller that wants none.
struct RecordHolder {
  DecodeRecord* record;
  DecodeRecord* owned;
  explicit RecordHolder(DecodeRecord* given)
      : record(given), owned(given ? nullptr : (DecodeRecord*)std::malloc(sizeof(DecodeRecord))) {
    if (!record) record = owned;
    if (record) resetDecodeRecord(record);
  }
  ~RecordHolder() { std::free(owned); }
  RecordHolder(const RecordHolder&) = delete;
  RecordHolder& operator=(const RecordHolder&) = delete;
};

DecodeResult* decodeImage(unsigned char* pixels, int width, int height, DecodeRecord* given) {
  RecordHolder holder(given);
  DecodeRecord* record = holder.record;
  if (!record) return nullptr;
  if (!pixels || width < 1 || height < 1) return failDecode(record, kDecodeNoSymbol);
  size_t pictureBytes = (size_t)width * height;
  unsigned char* gray = (unsigned char*)std::malloc(pictureBytes);
  if (!gray) return failDecode(record, kDecodeNoSymbol);
  std::memcpy(gray, pixels, pictureBytes);
  binarizeImage(pixels, width, height);
  DecodeResult* result = decodeBinarised(gray, pixels, width, height, record);
  std::free(gray);
  return result;
}

DecodeResult* decodeImageKeeping(const unsigned char* gray, int width, int height, DecodeRecord* given) {
  RecordHolder holder(given);
  DecodeRecord* record = holder.record;
  if (!record) return nullptr;
  if (!gray || width < 1 || height < 1) return failDecode(record, kDecodeNoSymbol);
  unsigned char* binary = (unsigned char*)std::malloc((size_t)width * height);
  if (!binary) return failDecode(record, kDecodeNotDecoded);
  binarizeImageInto(gray, binary, width, height);
  DecodeResult* result = decodeBinarised(gray, binary, width, height, record);
  std::free(binary);
  return result;
}

}  // namespace pdf417read::detail
