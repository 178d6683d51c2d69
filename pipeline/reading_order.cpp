#include "pipeline/reading_order.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "pipeline/symbols_found.h"

namespace pdf417read::detail {

using namespace symbol_scan;

namespace {

struct Placed {
  double centreX, top, bottom;
  int index;
  int line;
};

int compareByTop(const void* a, const void* b) {
  double x = ((const Placed*)a)->top, y = ((const Placed*)b)->top;
  return (x > y) - (x < y);
}

int compareByLineThenX(const void* a, const void* b) {
  const Placed& x = *(const Placed*)a;
  const Placed& y = *(const Placed*)b;
  if (x.line != y.line) return x.line < y.line ? -1 : 1;
  return (x.centreX > y.centreX) - (x.centreX < y.centreX);
}

}  // namespace

void sortInReadingOrder(SymbolReading* readings, int count) {
  if (!readings || count < 2) return;
  Placed* placed = (Placed*)std::malloc(sizeof(Placed) * (size_t)count);
  SymbolReading* sorted = (SymbolReading*)std::malloc(sizeof(SymbolReading) * (size_t)count);
  if (placed && sorted) {
    for (int i = 0; i < count; i++) {
      const float* c = readings[i].corners;
      placed[i] = {outlineCentre(c).x, std::fmin(std::fmin(c[1], c[3]), std::fmin(c[5], c[7])),
                   std::fmax(std::fmax(c[1], c[3]), std::fmax(c[5], c[7])), i, -1};
    }
    // A symbol joins the first line whose first symbol it overlaps by half
    // the lower of their heights; lines follow each other by their tops.
    std::qsort(placed, (size_t)count, sizeof(Placed), compareByTop);
    int lines = 0;
    for (int i = 0; i < count; i++) {
      for (int j = 0; j < i && placed[i].line < 0; j++) {
        const Placed& first = placed[j];
        bool opensLine = true;
        for (int k = 0; k < j; k++) opensLine = opensLine && placed[k].line != first.line;
        if (!opensLine) continue;
        double overlap = std::fmin(first.bottom, placed[i].bottom) - std::fmax(first.top, placed[i].top);
        double lower = std::fmin(first.bottom - first.top, placed[i].bottom - placed[i].top);
        if (overlap >= 0.5 * lower) placed[i].line = first.line;
      }
      if (placed[i].line < 0) placed[i].line = lines++;
    }
    std::qsort(placed, (size_t)count, sizeof(Placed), compareByLineThenX);
    for (int i = 0; i < count; i++) sorted[i] = readings[placed[i].index];
    std::memcpy(readings, sorted, sizeof(SymbolReading) * (size_t)count);
  }
  std::free(placed);
  std::free(sorted);
}

}  // namespace pdf417read::detail
