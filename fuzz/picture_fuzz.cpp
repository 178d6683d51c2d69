// Picture files of any content through every page of the readers, as grey
// and as colour: both readings must agree on whether there is a picture,
// its size, and each grey pixel must be the grey of its colour.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/gray_conversion.h"
#include "image/picture_reader.h"

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
  Pages grey, colour;
  PictureStatus greyStatus, colourStatus;
  bool greyRead = readPicturePages(data, size, 1, {keepFirst, &grey}, &greyStatus);
  bool colourRead = readPicturePages(data, size, 3, {keepFirst, &colour}, &colourStatus);
  if (greyRead != colourRead || grey.count != colour.count || greyStatus.error != colourStatus.error) std::abort();
  char text[160];
  describePictureStatus(greyStatus, text, sizeof text);
  if (std::strlen(text) == 0) std::abort();
  if (grey.count > 0) {
    const DecodedPicture &g = grey.first, &c = colour.first;
    if (g.width != c.width || g.height != c.height || g.channels != 1 || c.channels != 3) std::abort();
    for (size_t i = 0; i < (size_t)g.width * g.height; i++)
      if (g.pixels[i] != grayOf(c.pixels[3 * i], c.pixels[3 * i + 1], c.pixels[3 * i + 2])) std::abort();
  }
  freeDecodedPicture(&grey.first);
  freeDecodedPicture(&colour.first);
  return 0;
}
