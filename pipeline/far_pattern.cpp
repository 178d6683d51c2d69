#include "pipeline/far_pattern.h"

#include <cmath>
#include <initializer_list>

#include "pipeline/picture_point.h"

namespace pdf417read::detail::symbol_scan {

namespace {

enum { kMaxSamples = 8192 };
const double kStep = 0.5;  // pixels between samples along a line

// Samples every kStep pixels from p along d, up to `capacity` or the
// picture's border; returns how many, and the threshold halfway between
// the darkest and lightest of them (*contrast their difference).
int sampleLine(const ScanContext* ctx, Vec p, Vec d, float* out, int capacity, double* threshold, double* contrast) {
  int n = 0;
  double low = 255, high = 0;
  for (; n < capacity; n++) {
    double v = grayAt(ctx, p + d * (n * kStep));
    if (v < 0) break;
    out[n] = (float)v;
    low = v < low ? v : low, high = v > high ? v : high;
  }
  *threshold = 0.5 * (low + high);
  *contrast = high - low;
  return n;
}

// Where one line across the symbol finds the far pattern.
struct FarSighting {
  bool found;
  double bar;     // pixels from the line's start to the far pattern's tracked edge (see barNear)
  double module;  // the module width there
  double contrast;
};

// Along a line from the near pattern's inner edge: the symbol ends where
// the longest light run, its quiet zone, begins, and the far pattern's
// widest bar, just before, gives its modules. `modules`: from the near
// inner edge to the far pattern's outer end; `stopFar`: the far pattern is the stop pattern (its seven-
// module bar comes first), else the start pattern (its eight-module bar is
// the outermost).
FarSighting sightFar(const ScanContext* ctx, Vec p, Vec d, double nearModule, int modules, bool stopFar) {
  FarSighting s = {false, 0, 0, 0};
  float samples[kMaxSamples];
  int capacity = (int)std::ceil((modules * nearModule * 1.1 + 4) / kStep);
  if (capacity > kMaxSamples) capacity = kMaxSamples;
  double threshold;
  int n = sampleLine(ctx, p, d, samples, capacity, &threshold, &s.contrast);
  if (s.contrast < 16) return s;
  // The symbol's end: the start of the longest light run.
  int i = 0, longest = 0;
  for (int k = 1; k < n; k++) {
    if (!(samples[k - 1] < threshold && samples[k] >= threshold)) continue;
    int j = k;
    while (j < n && samples[j] >= threshold) j++;
    if (j - k > longest) longest = j - k, i = k;
  }
  // The far pattern's widest bar: the start pattern's is its last, the
  // stop pattern's the widest of its five (its one-module bars may blur
  // away or into each other, so of the last six runs).
  double barStart = 0, barLength = 0;
  for (int e = i, runs = 0; e > 0 && runs < (stopFar ? 6 : 1);) {
    while (e > 0 && samples[e - 1] >= threshold) e--;
    int k = e;
    while (k > 0 && samples[k - 1] < threshold) k--;
    if (k == e) break;
    if ((e - k) * kStep > barLength) barLength = (e - k) * kStep, barStart = k * kStep;
    runs++;
    e = k;
  }
  double far = barLength / (stopFar ? 7 : 8);
  if (far < 0.5 || far > 1.1 * nearModule || longest * kStep < 7 * far) return s;
  s.bar = stopFar ? barStart : i * kStep;
  // A bar seen at a pixel a module reads wide; the symbol's length says
  // better what the far modules are, when the row indicators gave its
  // columns right (under perspective, a line's length is its module count
  // times the geometric mean of the modules at its ends).
  double length = i * kStep / modules, byLength = length * length / nearModule;
  s.module = byLength > 0.75 * far && byLength < 1.25 * far ? byLength : far;
  s.found = (stopFar ? barStart : barStart - 9 * far) > 0;
  return s;
}

// The far pattern's widest bar on a short line across it near `guess`:
// the stop pattern's by its near end, the start pattern's by its outer end,
// within two modules of the guess. False when none is, or the line shows
// too little contrast.
bool barNear(const ScanContext* ctx, Vec guess, Vec d, double module, bool stopFar, double minContrast, Vec* at) {
  enum { kShort = 128 };
  float samples[kShort];
  double reach = 6 * module + 2;
  Vec from = guess - d * reach;
  int capacity = (int)std::ceil(2 * reach / kStep) + (int)std::ceil(12 * module / kStep);
  if (capacity > kShort) capacity = kShort;
  double threshold, contrast;
  int n = sampleLine(ctx, from, d, samples, capacity, &threshold, &contrast);
  if (n < capacity || contrast < minContrast) return false;
  double best = 1e9;
  for (int k = 0; k < n;) {
    if (samples[k] >= threshold) {
      k++;
      continue;
    }
    int e = k;
    while (e < n && samples[e] < threshold) e++;
    double length = (e - k) * kStep;
    int light = e;
    while (light < n && samples[light] >= threshold) light++;
    // The start pattern's bar may run into the blurred bars inside it, but
    // its outer end meets the quiet zone cleanly.
    bool outer = (light - e) * kStep >= 3 * module || (light == n && e < n);
    double edge = (stopFar ? k : e) * kStep;
    double off = std::fabs(edge - reach);
    bool fits = stopFar ? length <= 12 * module && e < n : outer;
    if (length >= 3.5 * module && fits && off < 2 * module + 1 && off < best) {
      best = off;
      *at = from + d * edge;
    }
    k = e;
  }
  return best < 1e9;
}

// The middle of up to three values; of two, the smaller (a bar seen at a
// pixel a module reads wide more often than narrow).
double medianOf(const double* v, int n) {
  if (n == 1) return v[0];
  if (n == 2) return std::fmin(v[0], v[1]);
  return std::fmax(std::fmin(v[0], v[1]), std::fmin(std::fmax(v[0], v[1]), v[2]));
}

double meanOf(const double* v, int n) {
  double sum = 0;
  for (int i = 0; i < n; i++) sum += v[i];
  return sum / n;
}

Vec unit(Vec v) {
  double n = std::hypot(v.x, v.y);
  return n > 0 ? v * (1 / n) : Vec{0, 1};
}

// The line fitted through the places a walk saw the bar, relative to where
// it began: the sums of their coordinates and of their products.
struct BarFit {
  double n, x, y, xx, xy, yy;
};

void addPlace(BarFit* f, Vec r) {
  f->n++, f->x += r.x, f->y += r.y, f->xx += r.x * r.x, f->xy += r.x * r.y, f->yy += r.y * r.y;
}

// Walks along the far pattern's bar from `start`, a pixel and a half at a
// time, following it while it shows; *end gets the last place it showed,
// *along the bar's direction. Each place found refits the line through all
// of them (*fit, relative to `from`, the sighting the walks began at): a
// single place is off by the blur and the data beside the bar, the steps
// too short to say the bar's direction.
void walkBar(const ScanContext* ctx, Vec from, Vec start, Vec* along, Vec d, double module, bool stopFar,
             double minContrast, int maxSteps, BarFit* fit, Vec* end) {
  const double kWalk = 1.5;
  Vec guess = start;
  *end = start;
  for (int step = 0, misses = 0; step < maxSteps && misses < 3; step++) {
    guess = guess + *along * kWalk;
    Vec at = guess;
    if (!barNear(ctx, guess, d, module, stopFar, minContrast, &at)) {
      misses++;
      continue;
    }
    misses = 0;
    addPlace(fit, at - from);
    Vec mean = {fit->x / fit->n, fit->y / fit->n};
    double cxx = fit->xx / fit->n - mean.x * mean.x, cxy = fit->xy / fit->n - mean.x * mean.y;
    double cyy = fit->yy / fit->n - mean.y * mean.y;
    // The places' main direction, once they spread over a few modules.
    if (cxx + cyy > 4 * module * module) {
      double angle = 0.5 * std::atan2(2 * cxy, cxx - cyy);
      Vec main = {std::cos(angle), std::sin(angle)};
      *along = dot(main, *along) < 0 ? main * -1.0 : main;
    }
    Vec centre = from + mean;
    guess = centre + *along * dot(at - centre, *along);
    *end = guess;
  }
}

}  // namespace

bool findFarPattern(const ScanContext* ctx, const Candidate& c, int gridColumns, Candidate* both) {
  if (c.start.present == c.stop.present || gridColumns < 3 || gridColumns > 40) return false;
  bool stopFar = c.start.present;
  const Edge& near = stopFar ? c.start : c.stop;
  if (!(near.module > 0.5)) return false;
  Vec d = stopFar ? c.across : c.across * -1.0;
  int modules = 17 * gridColumns + (stopFar ? 18 : 17);
  double middle = 0.5 * (near.first + near.last), half = 0.5 * (near.last - near.first);
  // Three lines across, through the near edge's middle and an eighth of
  // its length either side: the far side may be much shorter and lean in
  // unevenly, and lines further out leave the symbol before its far end.
  Vec found[3];
  double sighted[3], module, contrast = 0;
  int count = 0;
  for (double t : {0.0, -0.25, 0.25}) {
    Vec p = near.point + near.along * (middle + t * half);
    FarSighting s = sightFar(ctx, p, d, near.module, modules, stopFar);
    if (!s.found) {
      if (t == 0.0) return false;
      continue;
    }
    found[count++] = p + d * s.bar;
    sighted[count - 1] = s.module, contrast += s.contrast;
  }
  contrast /= count;
  // The start pattern's edge is placed seventeen modules inside its outer
  // end: one sighting's module read wide by the blur must not move it.
  // The stop pattern's is its bar's, and its walk keeps to the bar better
  // with a module not taken too narrow.
  module = stopFar ? meanOf(sighted, count) : medianOf(sighted, count);
  // The walks set out along the line through the side sightings when it
  // leans little from the near edge; a sighting that took a data bar for
  // the pattern's leans it more, and sets them on a wrong line.
  Vec along = count == 3 ? unit(found[2] - found[1]) : near.along;
  if (dot(along, near.along) < 0) along = along * -1.0;
  if (dot(along, near.along) < 0.97) along = near.along;
  int maxSteps = (int)(2 * (near.last - near.first) / 1.5) + 4;
  Vec ends[2];
  // One way, then the other, on the line the first walk found.
  BarFit fit = {1, 0, 0, 0, 0, 0};
  Vec back = along * -1.0;
  walkBar(ctx, found[0], found[0], &back, d, module, stopFar, 0.4 * contrast, maxSteps, &fit, &ends[0]);
  along = back * -1.0;
  Vec centre = found[0] + Vec{fit.x / fit.n, fit.y / fit.n};
  Vec start = centre + along * dot(found[0] - centre, along);
  walkBar(ctx, found[0], start, &along, d, module, stopFar, 0.4 * contrast, maxSteps, &fit, &ends[1]);
  double length = std::hypot(ends[1].x - ends[0].x, ends[1].y - ends[0].y);
  if (length < 8 * module) return false;
  Edge far;
  far.present = true;
  // The start pattern's inner edge lies seventeen modules inside its outer end.
  far.point = (ends[0] + ends[1]) * 0.5 - d * (stopFar ? 0.0 : 17 * module);
  far.along = unit(ends[1] - ends[0]);
  far.first = -0.5 * length, far.last = 0.5 * length;
  far.patternFirst = far.first, far.patternLast = far.last;
  far.outerShift = Vec{0.0, 0.0};
  far.module = module;
  far.hits = 0;
  *both = c;
  (stopFar ? both->stop : both->start) = far;
  return true;
}

}  // namespace pdf417read::detail::symbol_scan
