#include "pipeline/decode_pipeline.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codeword/row_reader.h"
#include "ecc/reed_solomon.h"
#include "highlevel/data_decoder.h"
#include "locate/binarize.h"
#include "locate/edge_lines.h"
#include "locate/grid_sampling.h"
#include "locate/start_stop_search.h"

enum { kErasureListSize = 929 };

// A grid larger than this cannot come from a real symbol; refusing it keeps a
// wild corner record from asking for gigabytes.
static const size_t kMaxGridBytes = (size_t)1 << 28;

thread_local int decodeFailure = kDecodeOk;
thread_local int codewordCount = 0;
thread_local int erasureCount = 0;
thread_local int erasureList[kErasureListSize];
thread_local int decodedCodewords[kCodewordBufferSize];
thread_local int checkCodewordCount = 0;
thread_local int correctionResult = -1;

static DecodeResult* failDecode(int failure) {
  decodeFailure = failure;
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

int countLightColumnRuns(const unsigned char* grid, int gridWidth, int gridHeight) {
  if (gridWidth < 1 || gridHeight < 1) return 0;
  int* sums = (int*)std::calloc((size_t)gridWidth, sizeof(int));
  if (!sums) return 0;
  for (int y = 0; y < gridHeight; y++)
    for (int x = 0; x < gridWidth; x++) sums[x] += grid[(size_t)y * gridWidth + x];
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
  std::free(sums);
  return count;
}

static bool gridFits(int gridWidth, int gridHeight) {
  return gridWidth >= 0 && gridHeight >= 1 &&
         (size_t)(gridWidth + 1) * (size_t)gridHeight + 2 <= kMaxGridBytes;
}

// Samples the quadrilateral of the inner corners onto a gridWidth x gridHeight
// grid. Null when the grid cannot be allocated.
static unsigned char* sampleSymbol(const unsigned char* source, int width, int height,
                                   const int* corners, int gridWidth, int gridHeight) {
  unsigned char* grid = (unsigned char*)std::malloc((size_t)gridWidth * gridHeight + 1);
  if (!grid) return nullptr;
  sampleGrid(source, corners[8], corners[9], corners[12], corners[13], corners[14], corners[15],
             corners[10], corners[11], width, grid, gridWidth, gridHeight, height);
  return grid;
}

// The grid rows as the row reader wants them: each followed by a light byte.
static unsigned char* padRows(const unsigned char* grid, int gridWidth, int gridHeight) {
  size_t rowLength = (size_t)gridWidth + 1;
  unsigned char* rows = (unsigned char*)std::malloc(rowLength * gridHeight + 2);
  if (!rows) return nullptr;
  for (int y = 0; y < gridHeight; y++) {
    std::memcpy(rows + y * rowLength, grid + (size_t)y * gridWidth, (size_t)gridWidth);
    rows[y * rowLength + gridWidth] = 0;
  }
  rows[rowLength * gridHeight] = rows[rowLength * gridHeight + 1] = 0;
  return rows;
}

// Codewords read (erasures included) and the positions of the erasures.
static bool listErasures(const int* codewords) {
  codewordCount = 0;
  for (int j = 0; j < kCodewordBufferSize; j++)
    if (codewords[j] >= -1 && codewords[j] <= 928) codewordCount++;
  erasureCount = 0;
  for (int j = 0; j < codewordCount; j++) {
    if (codewords[j] >= 0) continue;
    if (erasureCount == kErasureListSize) return false;
    erasureList[erasureCount++] = j;
  }
  return true;
}

// After a failed correction the codewords are still taken when few of the
// data codewords look damaged: fewer than the check codewords of the level.
static bool acceptUncorrected(const int* codewords) {
  int n = codewords[0];
  if (n < 1) return false;
  if (n >= kCodewordBufferSize) n = kCodewordBufferSize - 1;
  int bad = 0;
  for (int j = 1; j <= n; j++)
    if (codewords[j] <= 0) bad++;
  int limit = ecLevel >= 0 && ecLevel < 30 ? 1 << (ecLevel + 1) : 1;
  return bad < limit;
}

DecodeResult* buildResult(const char* text, int length, const int* corners, int verified) {
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

DecodeResult* decodeImage(unsigned char* pixels, int width, int height) {
  char text[kTextBufferSize];
  int codewords[kCodewordBufferSize];
  std::memset(text, 0, sizeof text);
  resetRowReader();
  codewordCount = erasureCount = checkCodewordCount = 0;
  correctionResult = -1;
  decodeFailure = kDecodeOk;
  if (!pixels || width < 1 || height < 1) return failDecode(kDecodeNoSymbol);

  size_t pictureBytes = (size_t)width * height;
  unsigned char* grey = (unsigned char*)std::malloc(pictureBytes);
  if (!grey) return failDecode(kDecodeNoSymbol);
  std::memcpy(grey, pixels, pictureBytes);
  binarizeImage(pixels, width, height);

  bool rotated = false;
  StartStopCorners* found = findStartStopUpright(pixels, width, height);
  if (!found) {
    found = findStartStopRotated(pixels, width, height);
    rotated = true;
  }
  if (!found) {
    std::free(grey);
    return failDecode(kDecodeNoSymbol);
  }
  int* corners = found->entries;

  float startA, startB, startC, stopA, stopB, stopC;
  lineThroughPoints(corners + 8, corners + 10, &startA, &startB, &startC);
  lineThroughPoints(corners + 12, corners + 14, &stopA, &stopB, &stopC);
  // Outward in the symbol's own frame: a turned symbol's top lies below.
  int up = rotated ? 1 : -1;
  walkEdge(pixels, width, height, corners + 8, startA, startB, startC, up);
  walkEdge(pixels, width, height, corners + 10, startA, startB, startC, -up);
  walkEdge(pixels, width, height, corners + 12, stopA, stopB, stopC, up);
  walkEdge(pixels, width, height, corners + 14, stopA, stopB, stopC, -up);

  float startEdge = (float)pointDistance(corners + 8, corners + 10);
  float stopEdge = (float)pointDistance(corners + 12, corners + 14);
  int gridHeight = stopEdge >= startEdge ? (int)pointDistance(corners + 12, corners + 14)
                                         : (int)pointDistance(corners + 8, corners + 10);
  float top = (float)pointDistance(corners + 8, corners + 12);
  float bottom = (float)pointDistance(corners + 10, corners + 14);
  int provisionalWidth = (int)((top + bottom) * 0.5);
  if (!gridFits(provisionalWidth, gridHeight)) {
    std::free(grey);
    return failDecode(kDecodeNotDecoded);
  }

  unsigned char* firstGrid = sampleSymbol(pixels, width, height, corners, provisionalWidth, gridHeight);
  int columns = firstGrid ? countLightColumnRuns(firstGrid, provisionalWidth, gridHeight) : 0;
  std::free(firstGrid);
  if (columns == 0) {
    std::free(grey);
    return failDecode(kDecodeNotDecoded);
  }

  int gridWidth = finalGridWidth(provisionalWidth, columns);
  unsigned char* finalGrid =
      gridFits(gridWidth, gridHeight) ? sampleSymbol(grey, width, height, corners, gridWidth, gridHeight)
                                      : nullptr;
  std::free(grey);
  if (!finalGrid) return failDecode(kDecodeNotDecoded);
  binarizeImage(finalGrid, gridWidth, gridHeight);
  unsigned char* readerRows = padRows(finalGrid, gridWidth, gridHeight);
  std::free(finalGrid);
  if (!readerRows) return failDecode(kDecodeNotDecoded);
  int readStatus = detectBStoCW(readerRows, gridWidth + 1, gridHeight, codewords);
  std::free(readerRows);
  if (readStatus < 0) return failDecode(kDecodeNotDecoded);

  if (!listErasures(codewords)) return failDecode(kDecodeNotDecoded);
  checkCodewordCount = codewordCount - codewords[0];
  int corrected = rsDecode(codewords, erasureList, erasureCount, codewordCount, checkCodewordCount, 0);
  correctionResult = corrected;
  if (corrected < 0 && !acceptUncorrected(codewords)) return failDecode(kDecodeNotDecoded);

  std::memcpy(decodedCodewords, codewords, sizeof codewords);
  decodeDataCodewords(codewords, codewordCount, text);
  int length = (int)strnlen(text, kTextBufferSize - 1);
  DecodeResult* result = buildResult(text, length, corners, corrected >= 0);
  if (!result) return failDecode(kDecodeNotDecoded);
  return result;
}
