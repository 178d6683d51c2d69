// The public read on symbols as a camera sees them: cards tilted far about
// either axis, keystones, and the corners it reports, compared with where a
// known transform put the symbol.
#include <gtest/gtest.h>

#include <pdf417read/pdf417read.h>

#include <cmath>
#include <string>

#include "support/camera_pictures.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

// A licence-sized symbol (10 data columns, modules of 3 pixels, rows of 9)
// on a card half as wide again, and the symbol's outer corners on the card
// in its own frame: the start pattern's top first, then the stop pattern's.
struct Card {
  GrayPicture picture;
  double symbol[8];
};

const std::string kLicence =
    "@\n\x1e\rANSI 636014090102DL00410278ZC03190024DLDCSPUBLIC\nDACJOHN\nDADQ\nDBD08242015\nDBB01311970\n"
    "DBA08242020\nDBC1\nDAYBRO\nDAU070 IN\nDAG2300 WEST BROAD STREET\nDAIRICHMOND\nDAJVA\nDAK232690000\n";

Card licenceCard(bool mirrored, int eccLevel = 4) {
  SymbolOptions options;
  options.columns = 10;
  options.eccLevel = eccLevel;
  ModuleMatrix symbol;
  EXPECT_TRUE(encodeSymbol(kLicence, options, &symbol));
  DrawOptions draw;
  draw.modulePixels = 3;
  draw.rowPixels = 9;
  // The card half as wide again as the symbol.
  draw.quietPixels = symbol.width * 3 / 4;
  draw.mirrored = mirrored;
  Card card;
  card.picture = drawSymbol(symbol, draw);
  double left = draw.quietPixels, top = draw.quietPixels, right = left + 3.0 * symbol.width, bottom = top + 9.0 * symbol.rows;
  const double upright[8] = {left, top, right, top, right, bottom, left, bottom};
  const double reversed[8] = {right, top, left, top, left, bottom, right, bottom};
  for (int k = 0; k < 8; k++) card.symbol[k] = mirrored ? reversed[k] : upright[k];
  return card;
}

// Reads the card's picture, whose corners lie at `quad`; the symbol must
// read exactly, verified, flagged inverted only when it is, and each corner
// lie within a module of its place on the card.
void expectReadWithCorners(const Card& card, const GrayPicture& picture, const double* quad, const std::string& what,
                           bool inverted = false) {
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  pdf417read::ReadResult result = pdf417read::read(view);
  ASSERT_EQ(result.symbols.size(), 1u) << what;
  const pdf417read::Symbol& symbol = result.symbols[0];
  EXPECT_EQ(symbol.bytes, kLicence) << what;
  EXPECT_TRUE(symbol.verified) << what;
  EXPECT_EQ(symbol.inverted, inverted) << what;
  PlaneMap toCard = pictureToCard(card.picture, quad);
  for (int k = 0; k < 4; k++) {
    double x, y;
    toCard.apply(symbol.corners[k].x + 0.5, symbol.corners[k].y + 0.5, &x, &y);
    double modules = std::hypot(x - card.symbol[2 * k], y - card.symbol[2 * k + 1]) / 3.0;
    EXPECT_LT(modules, 1.0) << what << ", corner " << k;
  }
}

// The card turned by roll degrees in the picture, and by 25 degrees of yaw
// as well when the roll is not a multiple of a quarter turn: the picture and
// where the card's corners lie in it.
GrayPicture turnedCard(const Card& card, double roll, double* quad) {
  CameraView camera;
  camera.roll = roll;
  camera.yaw = roll == 33.0 ? 25 : 0;
  int width, height;
  cameraCorners(card.picture, camera, quad, &width, &height);
  return warpCard(card.picture, quad, width, height, 255);
}

// A picture turned a quarter: the symbol's rows run down it.
GrayPicture quarterTurned(const GrayPicture& picture) {
  CameraView camera;
  camera.roll = 90;
  double quad[8];
  int width, height;
  cameraCorners(picture, camera, quad, &width, &height);
  return warpCard(picture, quad, width, height, 255);
}

}  // namespace

// About the vertical axis the far side's modules fall to about a pixel at
// 60 degrees, where the scan no longer sees its stop pattern: the far
// pattern is found from the near one. Mirrored, the far side holds the
// start pattern.
TEST(CameraRead, TiltedCardsReadUpTo60DegreesAboutEitherAxis) {
  Card card = licenceCard(false);
  for (int axis = 0; axis < 2; axis++)
    for (double degrees : {30.0, axis == 0 ? 55.0 : 60.0, 60.0}) {
      CameraView camera;
      (axis == 0 ? camera.yaw : camera.pitch) = degrees;
      double quad[8];
      int width, height;
      cameraCorners(card.picture, camera, quad, &width, &height);
      std::string what = (axis == 0 ? "yaw " : "pitch ") + std::to_string((int)degrees);
      expectReadWithCorners(card, warpCard(card.picture, quad, width, height, 255), quad, what);
    }
}

// Tilted about both axes at once the symbol is sheared as well as
// narrowed: its sides lean apart unevenly, and its rows cross its bars far
// off square.
TEST(CameraRead, CardsTiltedAboutBothAxesAtOnce) {
  Card card = licenceCard(false);
  const double views[][2] = {{-20, -38}, {30, 30}, {-30, 45}, {45, 45}};
  for (const auto& view : views) {
    CameraView camera;
    camera.yaw = view[0];
    camera.pitch = view[1];
    camera.pitchFirst = true;
    double quad[8];
    int width, height;
    cameraCorners(card.picture, camera, quad, &width, &height);
    std::string what = "yaw " + std::to_string((int)view[0]) + ", pitch " + std::to_string((int)view[1]);
    expectReadWithCorners(card, warpCard(card.picture, quad, width, height, 255), quad, what);
  }
}

TEST(CameraRead, MirroredCardTiltedAway60DegreesOnItsStartPatternSide) {
  Card card = licenceCard(true);
  CameraView camera;
  camera.yaw = 60;
  double quad[8];
  int width, height;
  cameraCorners(card.picture, camera, quad, &width, &height);
  expectReadWithCorners(card, warpCard(card.picture, quad, width, height, 255), quad, "mirrored, yaw 60");
}

// A label round a bottle: the symbol spans 80 degrees of the cylinder,
// its modules narrowing and darkening towards both sides, curved across
// its rows (upright bottle) or along them (bottle on its side); the
// picture turned a quarter.
TEST(CameraRead, LabelsRoundACylinderSpanning80Degrees) {
  Card card = licenceCard(false);
  for (bool alongRows : {false, true}) {
    // Along the rows the label ends six modules above and below the symbol.
    GrayPicture label = card.picture;
    double symbolLength = card.symbol[2] - card.symbol[0];
    if (alongRows) {
      int top = (int)card.symbol[1] - 18, bottom = (int)card.symbol[5] + 18;
      label.height = bottom - top;
      label.pixels.assign(card.picture.pixels.begin() + (size_t)top * label.width,
                          card.picture.pixels.begin() + (size_t)bottom * label.width);
      symbolLength = card.symbol[5] - card.symbol[1];
    }
    double arc = 80.0 * (alongRows ? label.height : label.width) / symbolLength;
    GrayPicture picture = quarterTurned(cylinderCard(label, arc, alongRows));
    pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
    pdf417read::ReadResult result = pdf417read::read(view);
    ASSERT_EQ(result.symbols.size(), 1u) << (alongRows ? "along rows" : "across rows");
    EXPECT_EQ(result.symbols[0].bytes, kLicence);
    EXPECT_TRUE(result.symbols[0].verified);
  }
}

// A label round a bottle curved so far that the symbol spans 135 degrees of
// it: its codewords narrow to under half their width towards both sides,
// which no straight spacing between the start and stop patterns follows,
// and the narrowed patterns overcount its columns by far more than one.
TEST(CameraRead, LabelRoundABottleSpanning135DegreesAcrossItsRows) {
  Card card = licenceCard(false);
  double arc = 135.0 * card.picture.width / (card.symbol[2] - card.symbol[0]);
  GrayPicture picture = cylinderCard(card.picture, arc, false);
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  pdf417read::ReadResult result = pdf417read::read(view);
  ASSERT_EQ(result.symbols.size(), 1u);
  EXPECT_EQ(result.symbols[0].bytes, kLicence);
  EXPECT_TRUE(result.symbols[0].verified);
}

// Faded print, 40 gray levels between bar and space, half of it under a
// hard shadow edge that takes half the light: the shadow's spaces are
// darker than the lit half's bars, and only 20 levels lighter than its own.
// Sixteen check codewords leave little room for a band of misread ones
// along the edge. The picture turned a quarter.
TEST(CameraRead, FadedPrintHalfUnderAShadowEdge) {
  Card card = licenceCard(false, 3);
  GrayPicture picture = quarterTurned(shadowStep(fadedContrast(card.picture, 108, 148), 0.5, 20));
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  pdf417read::ReadResult result = pdf417read::read(view);
  ASSERT_EQ(result.symbols.size(), 1u);
  EXPECT_EQ(result.symbols[0].bytes, kLicence);
  EXPECT_TRUE(result.symbols[0].verified);
}

TEST(CameraRead, KeystonesWhoseFarSideIsAThirdOfTheNearOne) {
  Card card = licenceCard(false);
  for (int side = 0; side < 4; side++) {
    double quad[8];
    keystoneCorners(card.picture, 1.0 / 3, side, quad);
    expectReadWithCorners(card, warpCard(card.picture, quad, card.picture.width, card.picture.height, 255), quad,
                          "keystone, far side " + std::to_string(side));
  }
}

TEST(CameraRead, CornersOfUprightTurnedAndMirroredSymbols) {
  for (bool mirrored : {false, true}) {
    Card card = licenceCard(mirrored);
    for (double roll : {0.0, 90.0, 200.0, 33.0}) {
      double quad[8];
      GrayPicture picture = turnedCard(card, roll, quad);
      std::string what = std::string(mirrored ? "mirrored" : "upright") + ", turned " + std::to_string((int)roll);
      expectReadWithCorners(card, picture, quad, what);
    }
  }
}

// Light on dark, as a negative or a dark screen shows a symbol: read from the
// picture's negative, where it lies in the picture, upright, turned and
// mirrored.
TEST(CameraRead, LightOnDarkSymbolsReadFlaggedInverted) {
  for (bool mirrored : {false, true}) {
    Card card = licenceCard(mirrored);
    for (double roll : {0.0, 33.0}) {
      double quad[8];
      GrayPicture negative = invertedPicture(turnedCard(card, roll, quad));
      std::string what = std::string(mirrored ? "mirrored" : "upright") + " light on dark, turned " +
                         std::to_string((int)roll);
      expectReadWithCorners(card, negative, quad, what, true);
    }
  }
}
