// Test support: clips of a laminated card under a lamp, whose glare moves as
// the hand does. Each frame burns out a band of the card; over the clip the
// band sweeps across it, so that every part is clear in some frame.
#ifndef PDF417_TESTS_SUPPORT_GLARE_CLIPS_H
#define PDF417_TESTS_SUPPORT_GLARE_CLIPS_H

#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

// A glare: within `halfWidth` pixels of the line through (centre, middle
// height) leaning `degrees` from upright, the picture is white; over as
// much again beyond, it fades back to the picture.
GrayPicture glareBand(const GrayPicture& picture, double centre, double halfWidth, double degrees = 0);

// How a clip is taken.
struct GlareSweep {
  int frames = 5;
  double from = 0, to = 0;  // the band's centre in the first and last frame (card x)
  double halfWidth = 40;
  double degrees = 0;
  int drift = 0;  // the card moves this many pixels right (and half as many down) a frame
};

// The clip: the card under the glare, its centre moving evenly from `from`
// to `to`, on a white picture large enough for the card's drift.
std::vector<GrayPicture> glareClip(const GrayPicture& card, const GlareSweep& sweep);

}  // namespace pdf417read::detail

#endif
