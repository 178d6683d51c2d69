#include "app/annotated_picture.h"

#include <stb_image_write.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

struct Canvas {
  unsigned char* pixels;  // RGB
  int width, height;
};

struct Colour {
  unsigned char red, green, blue;
};

const Colour kOutline = {230, 0, 40};
const Colour kLabelPaper = {255, 255, 255};
const int kOutlineRadius = 1;  // 3 pixels across

void put(const Canvas& canvas, int x, int y, Colour colour) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
  unsigned char* pixel = canvas.pixels + 3 * ((size_t)y * canvas.width + x);
  pixel[0] = colour.red;
  pixel[1] = colour.green;
  pixel[2] = colour.blue;
}

void fillBox(const Canvas& canvas, int x, int y, int width, int height, Colour colour) {
  for (int dy = 0; dy < height; dy++)
    for (int dx = 0; dx < width; dx++) put(canvas, x + dx, y + dy, colour);
}

void drawLine(const Canvas& canvas, pdf417read::Point from, pdf417read::Point to, Colour colour) {
  double length = std::hypot(to.x - from.x, to.y - from.y);
  // Corners far outside the picture are cut to a sane number of steps.
  int steps = (int)std::min(std::ceil(length * 2), 4.0 * (canvas.width + canvas.height)) + 1;
  for (int i = 0; i <= steps; i++) {
    double t = (double)i / steps;
    int x = (int)std::lround(from.x + t * (to.x - from.x));
    int y = (int)std::lround(from.y + t * (to.y - from.y));
    fillBox(canvas, x - kOutlineRadius, y - kOutlineRadius, 2 * kOutlineRadius + 1, 2 * kOutlineRadius + 1,
            colour);
  }
}

// Digits 3 wide, 5 high, one row per entry, leftmost pixel in bit 2.
const unsigned char kDigitGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

// number at (x, y) in digits of 3 x 5 cells, each cell scale pixels, on a
// light label.
void drawNumber(const Canvas& canvas, int number, int x, int y, int scale, Colour colour) {
  std::string digits = std::to_string(number);
  int width = (int)digits.size() * 4 * scale + scale;
  fillBox(canvas, x, y, width, 7 * scale, kLabelPaper);
  for (size_t d = 0; d < digits.size(); d++) {
    const unsigned char* glyph = kDigitGlyphs[digits[d] - '0'];
    int left = x + scale + (int)d * 4 * scale;
    for (int row = 0; row < 5; row++)
      for (int column = 0; column < 3; column++)
        if (glyph[row] >> (2 - column) & 1)
          fillBox(canvas, left + column * scale, y + scale + row * scale, scale, scale, colour);
  }
}

void annotate(const Canvas& canvas, const std::vector<pdf417read::Symbol>& symbols) {
  int scale = std::max(2, std::min(canvas.width, canvas.height) / 150);
  for (size_t s = 0; s < symbols.size(); s++) {
    // The picture is a multi-page file's first page: the symbols of the
    // other pages are not on it.
    if (symbols[s].page > 1) continue;
    const auto& corners = symbols[s].corners;
    for (int k = 0; k < 4; k++) drawLine(canvas, corners[k], corners[(k + 1) % 4], kOutline);
    // The label sits above the top-left corner, inside the picture.
    int x = (int)std::lround(std::max(0.0, std::min(corners[0].x, canvas.width - 1.0)));
    int y =
        (int)std::lround(std::max(0.0, std::min(corners[0].y - 8.0 * scale, canvas.height - 7.0 * scale)));
    drawNumber(canvas, (int)s + 1, x, y, scale, kOutline);
  }
}

// Where the file name's extension begins (its dot); npos when it has none.
size_t extensionAt(const std::string& path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return hasExtension ? dot : std::string::npos;
}

// The file name's extension, lower case; empty when it has none.
std::string extensionOf(const std::string& path) {
  size_t dot = extensionAt(path);
  if (dot == std::string::npos) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = (char)std::tolower((unsigned char)c);
  return extension;
}

bool writePicture(const std::string& path, int width, int height, const unsigned char* rgb) {
  const int kJpegQuality = 90;
  switch (annotationFormat(path)) {
    case AnnotationFormat::Png: return stbi_write_png(path.c_str(), width, height, 3, rgb, width * 3);
    case AnnotationFormat::Jpeg: return stbi_write_jpg(path.c_str(), width, height, 3, rgb, kJpegQuality);
    case AnnotationFormat::Bmp: return stbi_write_bmp(path.c_str(), width, height, 3, rgb);
    case AnnotationFormat::Tga: return stbi_write_tga(path.c_str(), width, height, 3, rgb);
    case AnnotationFormat::None: break;
  }
  return false;
}

}  // namespace

const char kAnnotationFormats[] = "PNG, JPEG, BMP or TGA (.png, .jpg, .jpeg, .bmp, .tga)";

AnnotationFormat annotationFormat(const std::string& path) {
  std::string extension = extensionOf(path);
  if (extension.empty() || extension == "png") return AnnotationFormat::Png;
  if (extension == "jpg" || extension == "jpeg") return AnnotationFormat::Jpeg;
  if (extension == "bmp") return AnnotationFormat::Bmp;
  if (extension == "tga") return AnnotationFormat::Tga;
  return AnnotationFormat::None;
}

bool writeAnnotatedPicture(const std::string& path, const std::vector<unsigned char>& pictureFile,
                           const std::vector<pdf417read::Symbol>& symbols, std::string* error) {
  pdf417read::Picture picture;
  if (!pdf417read::loadPicture(pictureFile.data(), pictureFile.size(), &picture)) {
    *error = "cannot read the picture to annotate";
    return false;
  }
  int width = picture.width, height = picture.height;
  annotate(Canvas{picture.rgb.data(), width, height}, symbols);
  if (!writePicture(path, width, height, picture.rgb.data())) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string annotationPath(const std::string& path, size_t index) {
  if (index == 0) return path;
  size_t dot = extensionAt(path);
  std::string stem = path.substr(0, dot);
  std::string extension = dot == std::string::npos ? "" : path.substr(dot);
  return stem + "-" + std::to_string(index + 1) + extension;
}
