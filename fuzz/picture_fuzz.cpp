// Picture files of any content through every page of the readers, as gray
// and as colour: both readings must agree on whether there is a picture,
// its size, and each gray pixel must be the gray of its colour.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"
#include "image/picture_reader.h"

using namespace pdf417read::detail;

namespace {

struct Pages {
  int count = 0;
  DecodedPicture first;
};

bool keepFirst(void* context, DecodedPicture* page, int index, int) {
  Pages* pages = static_cast<Pages*>(context);
  if (index == 0) {
    pages->first = *page;
    page->pixels = nullptr;
  }
  pages->count++;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Pages gray, colour;
  PictureStatus grayStatus, colourStatus;
  bool grayRead = readPicturePages(data, size, 1, {keepFirst, &gray}, &grayStatus);
  bool colourRead = readPicturePages(data, size, 3, {keepFirst, &colour}, &colourStatus);
  if (grayRead != colourRead || gray.count != colour.count || grayStatus.error != colourStatus.error) std::abort();
  char text[160];
  describePictureStatus(grayStatus, text, sizeof text);
  if (std::strlen(text) == 0) std::abort();
  if (gray.count > 0) {
    const DecodedPicture &g = gray.first, &c = colour.first;
    if (g.width != c.width || g.height != c.height || g.channels != 1 || c.channels != 3) std::abort();
    for (size_t i = 0; i < (size_t)g.width * g.height; i++)
      if (g.pixels[i] != grayOf(c.pixels[3 * i], c.pixels[3 * i + 1], c.pixels[3 * i + 2])) std::abort();
  }
  freeDecodedPicture(&gray.first);
  freeDecodedPicture(&colour.first);
  return 0;
}
