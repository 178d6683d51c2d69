// The picture writer the tests use, compiled from Debian's stb header.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
