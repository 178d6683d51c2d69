#include "pipeline/symbols_found.h"

namespace pdf417read::detail::symbol_scan {

bool triedBefore(Tried* tried, Vec centre, Vec across, double module) {
  for (int i = 0; i < tried->count; i++) {
    Vec d = centre - tried->centre[i];
    if (dot(d, d) < 9.0 * module * module && dot(across, tried->across[i]) > 0.95) return true;
  }
  if (tried->count < kMaxTried) {
    tried->centre[tried->count] = centre;
    tried->across[tried->count++] = across;
  }
  return false;
}

namespace {

bool insideOutline(const float* corners, Vec p) {
  // p lies on the same side of all four sides of a convex outline.
  int sign = 0;
  for (int k = 0; k < 4; k++) {
    Vec a = {corners[2 * k], corners[2 * k + 1]};
    Vec b = {corners[(2 * k + 2) % 8], corners[(2 * k + 3) % 8]};
    double side = cross(b - a, p - a);
    int s = side > 0 ? 1 : side < 0 ? -1 : 0;
    if (s == 0) continue;
    if (sign == 0) sign = s;
    if (s != sign) return false;
  }
  return true;
}

}  // namespace

Vec outlineCentre(const float* corners) {
  return {(corners[0] + corners[2] + corners[4] + corners[6]) * 0.25,
          (corners[1] + corners[3] + corners[5] + corners[7]) * 0.25};
}

// Whether a point (picture pixel indexes) lies on a symbol read already.
bool alreadyRead(const ScanContext* ctx, Vec p) {
  for (int i = 0; i < ctx->readingCount; i++)
    if (insideOutline(ctx->readings[i].corners, p)) return true;
  return false;
}

bool enoughSymbols(const ScanContext* ctx) {
  return ctx->readingCount >= ctx->capacity ||
         (ctx->maxSymbols > 0 && ctx->readingCount >= ctx->maxSymbols);
}

// Keeps ctx->current unless it is a symbol read already.
void keepReading(ScanContext* ctx) {
  if (enoughSymbols(ctx) || alreadyRead(ctx, outlineCentre(ctx->current->corners))) return;
  ctx->readings[ctx->readingCount++] = *ctx->current;
}

}  // namespace pdf417read::detail::symbol_scan
