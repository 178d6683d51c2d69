#include "pipeline/symbol_acceptance.h"

#include <cstdlib>
#include <cstring>

#include "ecc/reed_solomon.h"
#include "pipeline/scan_context.h"

namespace pdf417read::detail {

bool correctionHasSpare(int checks, int erasureCount, int found) {
  int errors = found - erasureCount;
  int spare = checks - erasureCount - 2 * (errors > 0 ? errors : 0);
  return spare >= (checks > 4 ? 2 : 1);
}

namespace symbol_scan {

namespace {

// Error correction with the check codewords the indicators announce;
// *found: the codewords it changed.
bool correctWord(int* codewords, int n, int* erasures, int erasureCount, int level, int* found) {
  int checks = 2 << level;
  if (n < checks + 1 || n > kMaxWordLength || erasureCount > checks - 1) return false;
  *found = rsDecodeSilent(codewords, erasures, erasureCount, n, checks);
  if (*found < 0 || !correctionHasSpare(checks, erasureCount, *found)) return false;
  return codewords[0] >= 1 && codewords[0] <= n - checks;
}

// Corrects ctx->codewords[0..n), erasures listed in ctx->erasures, as a
// symbol of the layout: true with ctx->current's codewords and layout filled
// when error correction confirmed them.
bool confirmCodewords(ScanContext* ctx, int n, int erasureCount, const SymbolLayout& layout) {
  int found = 0;
  if (n <= 0 || !correctWord(ctx->codewords, n, ctx->erasures, erasureCount, layout.level, &found))
    return false;
  SymbolReading* out = ctx->current;
  out->corrections = found;
  out->erasures = erasureCount;
  std::memcpy(out->codewords, ctx->codewords, sizeof(int) * (size_t)n);
  out->codewordCount = n;
  out->ecLevel = layout.level;
  out->rows = layout.rows;
  out->columns = layout.columns;
  out->verified = 1;
  return true;
}

}  // namespace

// The codewords ctx->reading holds in the layout, corrected (see
// confirmCodewords).
bool confirmReading(ScanContext* ctx, const SymbolLayout& layout) {
  SymbolLayout assembled = layout;
  int erasureCount = 0;
  int n = assembleCodewords(ctx->reading, &assembled, ctx->codewords, ctx->erasures, &erasureCount);
  return confirmCodewords(ctx, n, erasureCount, assembled);
}

namespace {

struct SureOrder {
  float margin;
  int index;
};

// Equal margins in codeword order: qsort's order of equals differs from one
// C library to another.
int compareMargins(const void* a, const void* b) {
  const SureOrder& x = *(const SureOrder*)a;
  const SureOrder& y = *(const SureOrder*)b;
  if (x.margin != y.margin) return (x.margin > y.margin) - (x.margin < y.margin);
  return (x.index > y.index) - (x.index < y.index);
}

}  // namespace

// Corrects codewords read with a margin of sureness each, erasing more and
// more of the least sure ones until error correction confirms them (an
// erasure costs half what an error does): a handful of tries, each held to
// the same checks to spare. Every try is another chance for a wrong word to
// pass, so the erasures chosen here always leave four checks unspent. True
// with ctx->current filled.
bool confirmLeastSure(ScanContext* ctx, const int* codewords, const float* margins, int n, const SymbolLayout& layout) {
  int checks = 2 << layout.level;
  SureOrder* order = (SureOrder*)std::malloc(sizeof(SureOrder) * (size_t)n);
  if (!order) return false;
  for (int i = 0; i < n; i++) order[i] = {margins[i], i};
  std::qsort(order, (size_t)n, sizeof(SureOrder), compareMargins);
  int unread = 0;
  while (unread < n && codewords[order[unread].index] < 0) unread++;
  int stride = checks / 16 > 2 ? checks / 16 : 2;
  bool verified = false;
  for (int erased = unread; erased < checks && erased <= n && !verified; erased += stride) {
    if (erased > unread && checks - erased < 4) break;
    std::memcpy(ctx->codewords, codewords, sizeof(int) * (size_t)n);
    for (int k = 0; k < erased; k++) {
      ctx->codewords[order[k].index] = -1;
      ctx->erasures[k] = order[k].index;
    }
    verified = confirmCodewords(ctx, n, erased, layout);
    if (erased == 0 && unread == 0) erased = -stride + 1;  // then 1, 1 + stride, ...
  }
  std::free(order);
  return verified;
}

// As confirmLeastSure, for a layout whose level is not known: the length
// descriptor counts every codeword before the checks, so the one read
// names the level; a correction is believed only when the corrected
// descriptor still does.
bool confirmAnyLevel(ScanContext* ctx, const int* codewords, const float* margins, int n, SymbolLayout layout) {
  for (layout.level = 0; layout.level <= 8 && (2 << layout.level) < n; layout.level++)
    if (codewords[0] == n - (2 << layout.level))
      return confirmLeastSure(ctx, codewords, margins, n, layout) && ctx->current->codewords[0] == codewords[0];
  return false;
}

}  // namespace symbol_scan

}  // namespace pdf417read::detail
