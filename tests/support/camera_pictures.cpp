#include "support/camera_pictures.h"

#include <algorithm>
#include <cmath>

namespace pdf417read::detail {

void PlaneMap::apply(double x, double y, double* outX, double* outY) const {
  double w = h[6] * x + h[7] * y + h[8];
  *outX = (h[0] * x + h[1] * y + h[2]) / w;
  *outY = (h[3] * x + h[4] * y + h[5]) / w;
}

namespace {

// Solves the 8 x 8 system a * x = b in place by Gaussian elimination with
// partial pivoting.
void solve8(double a[8][8], double* b) {
  for (int col = 0; col < 8; col++) {
    int pivot = col;
    for (int r = col + 1; r < 8; r++)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (int r = 0; r < 8; r++) {
      if (r == col) continue;
      double f = a[r][col] / a[col][col];
      for (int c = col; c < 8; c++) a[r][c] -= f * a[col][c];
      b[r] -= f * b[col];
    }
  }
  for (int r = 0; r < 8; r++) b[r] /= a[r][r];
}

double bilinear(const GrayPicture& p, double x, double y, unsigned char fill) {
  // Pixel centres at .5; beyond the card is fill.
  x -= 0.5, y -= 0.5;
  int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
  double fx = x - x0, fy = y - y0, sum = 0;
  for (int dy = 0; dy < 2; dy++)
    for (int dx = 0; dx < 2; dx++) {
      int sx = x0 + dx, sy = y0 + dy;
      double v = sx >= 0 && sy >= 0 && sx < p.width && sy < p.height ? p.pixels[(size_t)sy * p.width + sx] : fill;
      sum += v * (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
    }
  return sum;
}

// The picture each of whose pixels averages 3 x 3 samples of the card taken
// where `cardAt` says a picture point lies on it (false: beyond it).
template <typename CardAt>
GrayPicture render(const GrayPicture& card, int width, int height, unsigned char fill, CardAt cardAt) {
  GrayPicture out;
  out.width = width;
  out.height = height;
  out.pixels.resize((size_t)width * height);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      double sum = 0;
      for (int sy = 0; sy < 3; sy++)
        for (int sx = 0; sx < 3; sx++) {
          double cx, cy, light = 1;
          double px = x + (sx + 0.5) / 3, py = y + (sy + 0.5) / 3;
          sum += cardAt(px, py, &cx, &cy, &light) ? light * bilinear(card, cx, cy, fill) : fill;
        }
      out.pixels[(size_t)y * width + x] = (unsigned char)std::lround(std::clamp(sum / 9, 0.0, 255.0));
    }
  return out;
}

void cardCorners(const GrayPicture& card, double* quad) {
  double w = card.width, h = card.height;
  const double corners[8] = {0, 0, w, 0, w, h, 0, h};
  std::copy(corners, corners + 8, quad);
}

}  // namespace

PlaneMap quadToQuad(const double* from, const double* to) {
  double a[8][8] = {}, b[8];
  for (int k = 0; k < 4; k++) {
    double x = from[2 * k], y = from[2 * k + 1], u = to[2 * k], v = to[2 * k + 1];
    double r0[8] = {x, y, 1, 0, 0, 0, -u * x, -u * y}, r1[8] = {0, 0, 0, x, y, 1, -v * x, -v * y};
    std::copy(r0, r0 + 8, a[2 * k]);
    std::copy(r1, r1 + 8, a[2 * k + 1]);
    b[2 * k] = u, b[2 * k + 1] = v;
  }
  solve8(a, b);
  PlaneMap m;
  std::copy(b, b + 8, m.h);
  m.h[8] = 1;
  return m;
}

PlaneMap pictureToCard(const GrayPicture& card, const double* quad) {
  double corners[8];
  cardCorners(card, corners);
  return quadToQuad(quad, corners);
}

GrayPicture warpCard(const GrayPicture& card, const double* quad, int width, int height, unsigned char fill) {
  PlaneMap toCard = pictureToCard(card, quad);
  return render(card, width, height, fill, [&](double x, double y, double* cx, double* cy, double*) {
    toCard.apply(x, y, cx, cy);
    return std::isfinite(*cx) && std::isfinite(*cy);
  });
}

void cameraCorners(const GrayPicture& card, const CameraView& view, double* quad, int* width, int* height) {
  double f = view.focal * card.width, distance = f;  // card pixels match picture pixels at no tilt
  double yaw = view.yaw * M_PI / 180, pitch = view.pitch * M_PI / 180, roll = view.roll * M_PI / 180;
  double corners[8];
  cardCorners(card, corners);
  for (int k = 0; k < 4; k++) {
    // Card point about its middle, turned in its plane, then about the
    // vertical axis (x into depth), then about the horizontal one (y into depth).
    double x = corners[2 * k] - 0.5 * card.width, y = corners[2 * k + 1] - 0.5 * card.height;
    double xr = x * std::cos(roll) - y * std::sin(roll), yr = x * std::sin(roll) + y * std::cos(roll);
    double x1, y2, z2;
    if (view.pitchFirst) {
      double y1 = yr * std::cos(pitch), z1 = -yr * std::sin(pitch);
      x1 = xr * std::cos(yaw) - z1 * std::sin(yaw), z2 = xr * std::sin(yaw) + z1 * std::cos(yaw), y2 = y1;
    } else {
      double z1 = xr * std::sin(yaw), y1 = yr;
      x1 = xr * std::cos(yaw), y2 = y1 * std::cos(pitch), z2 = z1 - y1 * std::sin(pitch);
    }
    double z = distance + z2;
    quad[2 * k] = f * x1 / z;
    quad[2 * k + 1] = f * y2 / z;
  }
  double left = std::min(std::min(quad[0], quad[2]), std::min(quad[4], quad[6]));
  double top = std::min(std::min(quad[1], quad[3]), std::min(quad[5], quad[7]));
  double right = std::max(std::max(quad[0], quad[2]), std::max(quad[4], quad[6]));
  double bottom = std::max(std::max(quad[1], quad[3]), std::max(quad[5], quad[7]));
  for (int k = 0; k < 4; k++) quad[2 * k] += 1 - std::floor(left), quad[2 * k + 1] += 1 - std::floor(top);
  *width = (int)std::ceil(right) - (int)std::floor(left) + 2;
  *height = (int)std::ceil(bottom) - (int)std::floor(top) + 2;
}

GrayPicture photographCard(const GrayPicture& card, const CameraView& view, unsigned char fill) {
  double quad[8];
  int width, height;
  cameraCorners(card, view, quad, &width, &height);
  return warpCard(card, quad, width, height, fill);
}

void keystoneCorners(const GrayPicture& card, double farOverNear, int side, double* quad) {
  double w = card.width, h = card.height;
  double inW = 0.5 * w * (1 - farOverNear), inH = 0.5 * h * (1 - farOverNear);
  double corners[8] = {0, 0, w, 0, w, h, 0, h};
  switch (side & 3) {
    case 0: corners[0] += inW, corners[2] -= inW; break;  // top
    case 1: corners[3] += inH, corners[5] -= inH; break;  // right
    case 2: corners[4] -= inW, corners[6] += inW; break;  // bottom
    default: corners[1] += inH, corners[7] -= inH; break;  // left
  }
  std::copy(corners, corners + 8, quad);
}

GrayPicture keystoneCard(const GrayPicture& card, double farOverNear, int side, unsigned char fill) {
  double quad[8];
  keystoneCorners(card, farOverNear, side, quad);
  return warpCard(card, quad, card.width, card.height, fill);
}

GrayPicture cylinderCard(const GrayPicture& card, double arcDegrees, bool alongRows, unsigned char fill) {
  double length = alongRows ? card.height : card.width;
  double arc = std::max(arcDegrees, 1.0) * M_PI / 180;
  double radius = length / arc;
  double half = radius * std::sin(0.5 * arc);  // half the projected length
  return render(card, card.width, card.height, fill, [&](double x, double y, double* cx, double* cy, double* light) {
    double along = (alongRows ? y - 0.5 * card.height : x - 0.5 * card.width);
    if (std::fabs(along) > half) return false;
    double angle = std::asin(along / radius);
    double onCard = 0.5 * length + radius * angle;
    *cx = alongRows ? x : onCard;
    *cy = alongRows ? onCard : y;
    *light = 0.35 + 0.65 * std::cos(angle);
    return true;
  });
}

GrayPicture shadowStep(const GrayPicture& picture, double factor, double degrees) {
  GrayPicture out = picture;
  double t = degrees * M_PI / 180, nx = std::cos(t), ny = std::sin(t);
  for (int y = 0; y < picture.height; y++)
    for (int x = 0; x < picture.width; x++) {
      double side = (x + 0.5 - 0.5 * picture.width) * nx + (y + 0.5 - 0.5 * picture.height) * ny;
      unsigned char& v = out.pixels[(size_t)y * picture.width + x];
      if (side > 0) v = (unsigned char)std::lround(v * factor);
    }
  return out;
}

GrayPicture fadedContrast(const GrayPicture& picture, int dark, int light) {
  GrayPicture out = picture;
  for (unsigned char& v : out.pixels)
    v = (unsigned char)std::clamp(std::lround(dark + (light - dark) * (v / 255.0)), 0L, 255L);
  return out;
}

GrayPicture invertedPicture(const GrayPicture& picture) {
  GrayPicture out = picture;
  for (unsigned char& v : out.pixels) v = (unsigned char)(255 - v);
  return out;
}

}  // namespace pdf417read::detail
