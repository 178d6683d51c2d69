#include "support/glare_clips.h"

#include <cmath>

namespace pdf417read::detail {

GrayPicture glareBand(const GrayPicture& picture, double centre, double halfWidth, double degrees) {
  GrayPicture out = picture;
  double t = degrees * M_PI / 180, nx = std::cos(t), ny = std::sin(t);
  for (int y = 0; y < picture.height; y++)
    for (int x = 0; x < picture.width; x++) {
      double away = std::fabs((x + 0.5 - centre) * nx + (y + 0.5 - 0.5 * picture.height) * ny);
      double glare = away <= halfWidth ? 1.0 : away >= 2 * halfWidth ? 0.0 : 2.0 - away / halfWidth;
      unsigned char& v = out.pixels[(size_t)y * picture.width + x];
      v = (unsigned char)std::lround(v + (255 - v) * glare);
    }
  return out;
}

std::vector<GrayPicture> glareClip(const GrayPicture& card, const GlareSweep& sweep) {
  std::vector<GrayPicture> clip;
  int room = sweep.drift * sweep.frames;
  for (int k = 0; k < sweep.frames; k++) {
    double along = sweep.frames > 1 ? (double)k / (sweep.frames - 1) : 0.0;
    double centre = sweep.from + (sweep.to - sweep.from) * along;
    GrayPicture frame = blankPicture(card.width + room, card.height + room / 2 + 1);
    pastePicture(&frame, glareBand(card, centre, sweep.halfWidth, sweep.degrees), k * sweep.drift, k * sweep.drift / 2);
    clip.push_back(std::move(frame));
  }
  return clip;
}

}  // namespace pdf417read::detail
