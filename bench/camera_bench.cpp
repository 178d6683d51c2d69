// How far a camera's view of a card may go before the card no longer reads:
// licence-sized symbols (10 data columns, modules of 3 pixels, rows three
// modules high, on a card half as wide again as the symbol) are turned in
// front of a pinhole camera whose focal length is 1.2 picture widths, about
// the card's vertical axis and about its horizontal one, 0 to 60 degrees;
// pulled into pure keystones whose far side is down to a third of the near
// one; wrapped round cylinders; put under a shadow edge, faded and inverted.
// Each line counts the symbols read exactly and verified of those tried;
// the limits say up to where every symbol read.
//
//   ./camera_bench [--dump FOLDER]
#include <stb_image_write.h>

#include <pdf417read/pdf417read.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/camera_pictures.h"
#include "support/symbol_pictures.h"

using namespace pdf417read::detail;

namespace {

struct Card {
  std::string data;
  GrayPicture picture;
  double symbol[8];  // the symbol's outer corners on the card
  double module;     // pixels
};

// A licence's kind of text: fields of a few letters and digits each.
std::string licenceText(std::mt19937& random) {
  static const char* kFields[] = {"DCS", "DAC", "DAD", "DBD", "DBB", "DBA", "DBC", "DAY", "DAU", "DAG", "DAI", "DAJ",
                                  "DAK", "DAQ", "DCF", "DCG", "DDE", "DDF", "DDG"};
  std::string text = "@\n\x1e\rANSI 636014090102DL00410278ZC03190024DL";
  for (const char* field : kFields) {
    text += field;
    for (int k = 0, n = 4 + (int)(random() % 9); k < n; k++)
      text += (char)(random() % 3 ? 'A' + random() % 26 : '0' + random() % 10);
    text += '\n';
  }
  return text;
}

std::vector<Card> licenceCards(int count, bool mirrored) {
  std::mt19937 random(28);
  std::vector<Card> cards;
  for (int i = 0; i < count; i++) {
    Card card;
    card.data = licenceText(random);
    SymbolOptions options;
    options.columns = 10;
    options.eccLevel = 3 + i % 3;
    ModuleMatrix symbol;
    if (!encodeSymbol(card.data, options, &symbol)) continue;
    DrawOptions draw;
    draw.modulePixels = 3;
    draw.rowPixels = 9;
    draw.quietPixels = symbol.width * 3 / 4;
    draw.mirrored = mirrored;
    card.picture = drawSymbol(symbol, draw);
    double left = draw.quietPixels, top = draw.quietPixels;
    double right = left + 3.0 * symbol.width, bottom = top + 9.0 * symbol.rows;
    const double corners[8] = {left, top, right, top, right, bottom, left, bottom};
    std::copy(corners, corners + 8, card.symbol);
    card.module = 3;
    cards.push_back(card);
  }
  return cards;
}

// A picture and, when it is a homography of the card, where the card's
// corners lie in it.
struct Shot {
  GrayPicture picture;
  bool mapped = false;
  double quad[8];
};

Shot cameraShot(const GrayPicture& card, const CameraView& view) {
  Shot shot;
  int width, height;
  cameraCorners(card, view, shot.quad, &width, &height);
  shot.mapped = true;
  shot.picture = warpCard(card, shot.quad, width, height, 255);
  return shot;
}

Shot keystoneShot(const GrayPicture& card, double ratio, int side) {
  Shot shot;
  keystoneCorners(card, ratio, side, shot.quad);
  shot.mapped = true;
  shot.picture = warpCard(card, shot.quad, card.width, card.height, 255);
  return shot;
}

Shot plainShot(const GrayPicture& picture) {
  Shot shot;
  shot.picture = picture;
  return shot;
}

// How far, in modules on the card, each corner the reader gave lies from
// the nearest true outer corner of the symbol.
void cornerErrors(const Card& card, const Shot& shot, const pdf417read::Symbol& symbol, std::vector<double>* errors) {
  PlaneMap toCard = pictureToCard(card.picture, shot.quad);
  for (const pdf417read::Point& corner : symbol.corners) {
    double x, y, nearest = 1e9;
    toCard.apply(corner.x + 0.5, corner.y + 0.5, &x, &y);
    for (int k = 0; k < 4; k++) nearest = std::min(nearest, std::hypot(x - card.symbol[2 * k], y - card.symbol[2 * k + 1]));
    errors->push_back(nearest / card.module);
  }
}

const char* dumpFolder = nullptr;
std::vector<double> allCornerErrors;

// Reads every card as `view` shows it; prints and returns how many read,
// with the corners' mean and worst error where the view is a homography.
int sweepPoint(const std::vector<Card>& cards, const std::string& name, const std::function<Shot(const GrayPicture&)>& view) {
  int read = 0;
  std::string missed;
  std::vector<double> errors;
  for (size_t i = 0; i < cards.size(); i++) {
    Shot shot = view(cards[i].picture);
    const GrayPicture& picture = shot.picture;
    pdf417read::ImageView image(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
    bool found = false;
    for (const pdf417read::Symbol& symbol : pdf417read::read(image).symbols)
      if (symbol.verified && symbol.bytes == cards[i].data) {
        found = true;
        if (shot.mapped) cornerErrors(cards[i], shot, symbol, &errors);
      }
    if (found) {
      read++;
      continue;
    }
    missed += " " + std::to_string(i);
    if (dumpFolder) {
      std::string path = std::string(dumpFolder) + "/" + name + "-" + std::to_string(i) + ".png";
      for (char& c : path)
        if (c == ' ') c = '_';
      stbi_write_png(path.c_str(), picture.width, picture.height, 1, picture.pixels.data(), picture.width);
    }
  }
  std::string corners;
  if (!errors.empty()) {
    double sum = 0, worst = 0;
    for (double e : errors) sum += e, worst = std::max(worst, e);
    char text[64];
    std::snprintf(text, sizeof text, "  corners %.2f worst %.2f", sum / errors.size(), worst);
    corners = text;
    allCornerErrors.insert(allCornerErrors.end(), errors.begin(), errors.end());
  }
  std::printf("%-22s %2d/%zu%s%s%s\n", name.c_str(), read, cards.size(), corners.c_str(), missed.empty() ? "" : "  missed",
              missed.c_str());
  std::fflush(stdout);
  return read;
}

// A sweep of one condition over `values`: the last value up to which
// every card read.
void sweep(const std::vector<Card>& cards, const char* what, const std::vector<double>& values,
           const std::function<Shot(const GrayPicture&, double)>& view) {
  bool holding = true;
  double limit = values.front();
  for (double value : values) {
    char name[64];
    std::snprintf(name, sizeof name, "%s %g", what, value);
    bool all = sweepPoint(cards, name, [&](const GrayPicture& card) { return view(card, value); }) == (int)cards.size();
    if (all && holding) limit = value;
    holding = holding && all;
  }
  std::printf("%s: every card reads up to %g\n\n", what, limit);
}

CameraView viewOf(double yaw, double pitch, double roll) {
  CameraView view;
  view.yaw = yaw, view.pitch = pitch, view.roll = roll;
  return view;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i++)
    if (!std::strcmp(argv[i], "--dump")) dumpFolder = argv[i + 1];
  std::vector<Card> cards = licenceCards(6, false), mirroredCards = licenceCards(3, true);
  std::vector<double> angles;
  for (int degrees = 0; degrees <= 60; degrees += 5) angles.push_back(degrees);
  sweep(cards, "yaw", angles, [](const GrayPicture& card, double a) { return cameraShot(card, viewOf(a, 0, 0)); });
  sweep(cards, "pitch", angles, [](const GrayPicture& card, double a) { return cameraShot(card, viewOf(0, a, 0)); });
  sweep(cards, "yaw+pitch, roll 30", angles,
        [](const GrayPicture& card, double a) { return cameraShot(card, viewOf(0.7 * a, 0.7 * a, 30)); });
  // Pitched about the card's own axis, then turned: the symbol sheared.
  sweep(cards, "pitch then yaw", angles, [](const GrayPicture& card, double a) {
    CameraView view = viewOf(0.7 * a, 0.7 * a, 0);
    view.pitchFirst = true;
    return cameraShot(card, view);
  });
  sweep(mirroredCards, "mirrored, yaw -", angles,
        [](const GrayPicture& card, double a) { return cameraShot(card, viewOf(-a, 0, 0)); });
  sweep(cards, "roll", {0, 20, 45, 70, 90, 135, 180, 250},
        [](const GrayPicture& card, double a) { return cameraShot(card, viewOf(0, 0, a)); });
  std::vector<double> ratios = {1.0, 0.9, 0.85, 0.8, 0.7, 0.6, 0.5, 0.4, 0.33};
  sweep(cards, "keystone top", ratios, [](const GrayPicture& card, double r) { return keystoneShot(card, r, 0); });
  sweep(cards, "keystone right", ratios, [](const GrayPicture& card, double r) { return keystoneShot(card, r, 1); });
  if (!allCornerErrors.empty()) {
    double sum = 0, worst = 0;
    for (double e : allCornerErrors) sum += e, worst = std::max(worst, e);
    std::printf("corners of every symbol read above: mean %.2f, worst %.2f modules\n\n", sum / allCornerErrors.size(),
                worst);
  }
  // The symbol spans two thirds of the card's arc: 135 degrees of card are
  // 90 of symbol, a label round a bottle seen at arm's length; 180 are 120.
  sweep(cards, "cylinder across rows", {30, 60, 90, 120, 135, 150, 165, 180},
        [](const GrayPicture& card, double arc) { return plainShot(cylinderCard(card, arc, false)); });
  sweep(cards, "cylinder along rows", {30, 60, 90, 120, 135, 150, 165, 180},
        [](const GrayPicture& card, double arc) { return plainShot(cylinderCard(card, arc, true)); });
  sweep(cards, "shadow step", {1.0, 0.6, 0.4},
        [](const GrayPicture& card, double factor) { return plainShot(shadowStep(card, factor, 20)); });
  sweep(cards, "contrast", {255, 80, 55, 40}, [](const GrayPicture& card, double levels) {
    int dark = 128 - (int)levels / 2;
    return plainShot(fadedContrast(card, dark, dark + (int)levels));
  });
  // Faded print half under a hard shadow that takes 40% of the light.
  sweep(cards, "faded, shadow", {80, 55, 40}, [](const GrayPicture& card, double levels) {
    int dark = 128 - (int)levels / 2;
    return plainShot(shadowStep(fadedContrast(card, dark, dark + (int)levels), 0.6, 20));
  });
  sweepPoint(cards, "inverted", [](const GrayPicture& card) { return plainShot(invertedPicture(card)); });
  return 0;
}
