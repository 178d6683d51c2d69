// The picture's gray at a point between pixels, for the scan's looks along
// lines that need not follow its grid.
#ifndef PDF417_PIPELINE_PICTURE_POINT_H
#define PDF417_PIPELINE_PICTURE_POINT_H

#include "pipeline/scan_context.h"

namespace pdf417read::detail::symbol_scan {

// Gray at picture point p (pixel centres at .5), bilinear; -1 beyond the
// picture.
double grayAt(const ScanContext* ctx, Vec p);

}  // namespace pdf417read::detail::symbol_scan

#endif
