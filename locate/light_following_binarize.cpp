#include "locate/light_following_binarize.h"

#include <cstdlib>
#include <cstring>

#include "image/picture_limits.h"

namespace pdf417read::detail {

namespace {

// The darkest and lightest of row[from..to].
void rangeOf(const unsigned char* row, int from, int to, int* low, int* high) {
  int l = 255, h = 0;
  for (int k = from; k <= to; k++) {
    l = row[k] < l ? row[k] : l;
    h = row[k] > h ? row[k] : h;
  }
  *low = l, *high = h;
}

}  // namespace

void binarizeFollowingLight(unsigned char* pixels, int width, int height, int reach, int minSwing) {
  if (!pixels || width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide ||
      (long long)width * height > kMaxPicturePixels)
    return;
  if (reach < 1) reach = 1;
  unsigned char* row = (unsigned char*)std::malloc((size_t)width);
  if (!row) return;
  for (int y = 0; y < height; y++) {
    unsigned char* line = pixels + (size_t)y * width;
    std::memcpy(row, line, (size_t)width);
    for (int x = 0; x < width; x++) {
      int leftLow, leftHigh, rightLow, rightHigh;
      rangeOf(row, x - reach < 0 ? 0 : x - reach, x, &leftLow, &leftHigh);
      rangeOf(row, x, x + reach >= width ? width - 1 : x + reach, &rightLow, &rightHigh);
      int left = leftHigh - leftLow, right = rightHigh - rightLow, level = 0;
      if (left >= minSwing && (right < minSwing || left <= right))
        level = (leftLow + leftHigh + 1) / 2;
      else if (right >= minSwing)
        level = (rightLow + rightHigh + 1) / 2;
      line[x] = row[x] < level ? 1 : 0;
    }
  }
  std::free(row);
}

}  // namespace pdf417read::detail
