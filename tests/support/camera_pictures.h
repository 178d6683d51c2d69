// Test support: pictures as a camera makes them of a flat card or a label.
// A card (any gray picture, a drawn symbol with its quiet zone for one) is
// turned in front of a pinhole camera, pulled into a keystone, wrapped round
// a cylinder, or given a shadow edge, faded or inverted. Where a point of the
// picture lands on the card is known exactly, so tests can compare where a
// reader says a symbol lies with where it was put.
#ifndef PDF417_TESTS_SUPPORT_CAMERA_PICTURES_H
#define PDF417_TESTS_SUPPORT_CAMERA_PICTURES_H

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

// A plane homography: (x, y) goes to ((h0 x + h1 y + h2) / w, (h3 x + h4 y + h5) / w)
// with w = h6 x + h7 y + h8.
struct PlaneMap {
  double h[9];
  void apply(double x, double y, double* outX, double* outY) const;
};

// The homography taking the four points `from` to the four points `to`
// (eight coordinates each: top-left, top-right, bottom-right, bottom-left).
PlaneMap quadToQuad(const double* from, const double* to);

// The map back from a picture to the card whose corners lie at `quad` in it.
PlaneMap pictureToCard(const GrayPicture& card, const double* quad);

// The card drawn into a width x height picture with its corners at `quad`
// (eight coordinates, in picture pixels, card corners (0,0) (w,0) (w,h) (0,h)
// in that order), through the homography they define; 3 x 3 samples a
// pixel. What lies beyond the card is `fill`.
GrayPicture warpCard(const GrayPicture& card, const double* quad, int width, int height, unsigned char fill);

// How a pinhole camera sees the card: the card, centred on the camera's
// axis at the distance where its pixels match the picture's, is turned by
// `yaw` degrees about its vertical axis (its right side moves away), then
// `pitch` degrees about its horizontal axis (its top moves away), then
// `roll` degrees in its own plane. The focal length is `focal` card
// widths; the picture is as large as the card seen that way, with a pixel
// to spare on each side.
struct CameraView {
  double yaw = 0, pitch = 0, roll = 0;
  double focal = 1.2;
  // Pitched about the card's own horizontal axis before the yaw, rather
  // than about the picture's after it: the card's sides then lean apart
  // unevenly and the symbol comes out sheared.
  bool pitchFirst = false;
};

// Where the card's corners land in the picture (eight coordinates, card
// corners in the order of warpCard), and the picture's size.
void cameraCorners(const GrayPicture& card, const CameraView& view, double* quad, int* width, int* height);

// The card as the camera sees it, `fill` around it.
GrayPicture photographCard(const GrayPicture& card, const CameraView& view, unsigned char fill = 255);

// A pure keystone: one side of the card shortened to `farOverNear` of its
// length about its middle, the opposite side and the card's extent across
// unchanged. `side`: 0 top, 1 right, 2 bottom, 3 left is the far side.
void keystoneCorners(const GrayPicture& card, double farOverNear, int side, double* quad);
GrayPicture keystoneCard(const GrayPicture& card, double farOverNear, int side, unsigned char fill = 255);

// The card wrapped round a cylinder whose axis runs down the card
// (`alongRows` false: curved across the rows, as a label on an upright
// bottle) or across it (true), its width (or height) spanning `arcDegrees`
// of the cylinder, seen from afar straight on; light falls from the camera,
// so the card darkens towards the edges as the cosine of the surface's turn.
GrayPicture cylinderCard(const GrayPicture& card, double arcDegrees, bool alongRows, unsigned char fill = 255);

// Every pixel to the right of a line through the picture's middle, leaning
// `degrees` from upright, darkened to `factor` of its level: a hard shadow.
GrayPicture shadowStep(const GrayPicture& picture, double factor, double degrees);

// Levels 0..255 mapped linearly onto dark..light: faded print.
GrayPicture fadedContrast(const GrayPicture& picture, int dark, int light);

// Light on dark.
GrayPicture invertedPicture(const GrayPicture& picture);

}  // namespace pdf417read::detail

#endif
