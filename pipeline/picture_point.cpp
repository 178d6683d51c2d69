#include "pipeline/picture_point.h"

namespace pdf417read::detail::symbol_scan {

double grayAt(const ScanContext* ctx, Vec p) {
  double x = p.x - 0.5, y = p.y - 0.5;
  if (!(x >= 0 && y >= 0 && x <= ctx->width - 1 && y <= ctx->height - 1)) return -1;
  int x0 = (int)x, y0 = (int)y;
  int x1 = x0 + 1 < ctx->width ? x0 + 1 : x0, y1 = y0 + 1 < ctx->height ? y0 + 1 : y0;
  double fx = x - x0, fy = y - y0;
  const unsigned char* g = ctx->gray;
  size_t w = (size_t)ctx->width;
  double top = g[y0 * w + x0] * (1 - fx) + g[y0 * w + x1] * fx;
  double bottom = g[y1 * w + x0] * (1 - fx) + g[y1 * w + x1] * fx;
  return top * (1 - fy) + bottom * fy;
}

}  // namespace pdf417read::detail::symbol_scan
