// A threshold for grids whose rows run along a symbol's rows, for print
// under uneven light: a shadow's edge, faded ink. Each pixel is judged
// against its neighbours along the row on the side its own light falls, so
// the threshold steps with a shadow's edge instead of smearing it over a
// window.
#ifndef PDF417_LOCATE_LIGHT_FOLLOWING_BINARIZE_H
#define PDF417_LOCATE_LIGHT_FOLLOWING_BINARIZE_H

namespace pdf417read::detail {

// In place: a pixel becomes 1 (dark) below the midpoint of the darkest and
// lightest pixels from it `reach` pixels along its row to the left, or to
// the right: of the two, the one whose darkest and lightest lie closer
// together (where a shadow's edge lies on one side, the other side lies
// under the pixel's own light). `reach` should span seven modules: then
// either side holds a bar and a space. A side whose levels differ by less
// than `minSwing` shows neither; where both do, the pixel is light.
void binarizeFollowingLight(unsigned char* pixels, int width, int height, int reach, int minSwing);

}  // namespace pdf417read::detail

#endif
