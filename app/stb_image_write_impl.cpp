// The picture writer the program uses for --annotate, compiled from Debian's
// stb header.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
