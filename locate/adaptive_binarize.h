// Local mean threshold, for pictures lit unevenly: gray to 1 = dark,
// 0 = light, in place.
#ifndef PDF417_LOCATE_ADAPTIVE_BINARIZE_H
#define PDF417_LOCATE_ADAPTIVE_BINARIZE_H

namespace pdf417read::detail {

// In place: a pixel becomes 1 (dark) when it is darker than the mean of its
// window x window neighbourhood (clipped to the picture) by more than a margin
// of 5 levels plus 1/16 of that mean, else 0 (light). The margin keeps flat
// regions and paper grain light and grows with the light, as contrast does.
// window is clamped to 3..4095 and made odd. When the box sums cannot be
// allocated, the picture's global mean serves as every pixel's mean. A null
// picture, a size below 1 or beyond the limits leaves the buffer untouched.
// The window should span at least twice the widest dark run that must stay
// dark (for PDF417, around 16 modules or more).
void adaptiveBinarize(unsigned char* pixels, int width, int height, int window);

// In place: a pixel becomes 1 (dark) below the level that splits the
// picture's histogram into two classes of least summed variance (Otsu's
// choice), else 0. One pass to count, one over 256 levels, one to threshold:
// for pictures that are mostly two levels, such as a sampled symbol grid.
// A null picture or a size below 1 leaves the buffer untouched.
void binarizeTwoLevels(unsigned char* pixels, int width, int height);

// In place, for grids whose rows run along a symbol's rows: a pixel becomes
// 1 (dark) below the midpoint of the darkest and lightest pixels within
// `reach` of it along its row, so that a narrow bar or space that blur left
// short of the grid's split still stands out from its neighbours; where
// these differ by less than a quarter of the grid's contrast, the grid's
// two-level split decides.
void binarizeAlongRows(unsigned char* pixels, int width, int height, int reach);

// The level binarizeTwoLevels splits at, from a histogram of gray levels:
// levels below it form the dark class. 128 for an empty histogram.
int twoLevelSplit(const unsigned int histogram[256]);

}  // namespace pdf417read::detail

#endif
