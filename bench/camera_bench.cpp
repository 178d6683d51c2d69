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

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/camera_pictures.h"
#include "support/symbol_pictures.h"

namespace {

struct Card {
  std::string data;
  GrayPicture picture;
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

std::vector<Card> licenceCards(int count) {
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
    card.picture = drawSymbol(symbol, draw);
    cards.push_back(card);
  }
  return cards;
}

bool readsExactly(const GrayPicture& picture, const std::string& data) {
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height, pdf417read::PixelFormat::Gray);
  for (const pdf417read::Symbol& symbol : pdf417read::read(view).symbols)
    if (symbol.verified && symbol.bytes == data) return true;
  return false;
}

const char* dumpFolder = nullptr;

// Reads every card as `view` shows it; prints and returns how many read.
int sweepPoint(const std::vector<Card>& cards, const std::string& name,
               const std::function<GrayPicture(const GrayPicture&)>& view) {
  int read = 0;
  std::string missed;
  for (size_t i = 0; i < cards.size(); i++) {
    GrayPicture picture = view(cards[i].picture);
    if (readsExactly(picture, cards[i].data)) {
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
  std::printf("%-22s %2d/%zu%s%s\n", name.c_str(), read, cards.size(), missed.empty() ? "" : "  missed", missed.c_str());
  std::fflush(stdout);
  return read;
}

// A sweep of one condition over `values`: the last value up to which
// every card read.
template <typename Value>
void sweep(const std::vector<Card>& cards, const char* what, const std::vector<Value>& values,
           const std::function<GrayPicture(const GrayPicture&, Value)>& view) {
  bool holding = true;
  Value limit = values.front();
  for (Value value : values) {
    char name[64];
    std::snprintf(name, sizeof name, "%s %g", what, (double)value);
    bool all = sweepPoint(cards, name, [&](const GrayPicture& card) { return view(card, value); }) == (int)cards.size();
    if (all && holding) limit = value;
    holding = holding && all;
  }
  std::printf("%s: every card reads up to %g\n\n", what, (double)limit);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i++)
    if (!std::strcmp(argv[i], "--dump")) dumpFolder = argv[i + 1];
  std::vector<Card> cards = licenceCards(6);
  std::vector<double> angles;
  for (int degrees = 0; degrees <= 60; degrees += 5) angles.push_back(degrees);
  sweep<double>(cards, "yaw", angles, [](const GrayPicture& card, double degrees) {
    CameraView view;
    view.yaw = degrees;
    return photographCard(card, view);
  });
  sweep<double>(cards, "pitch", angles, [](const GrayPicture& card, double degrees) {
    CameraView view;
    view.pitch = degrees;
    return photographCard(card, view);
  });
  sweep<double>(cards, "yaw+pitch+roll", angles, [](const GrayPicture& card, double degrees) {
    CameraView view;
    view.yaw = degrees * 0.7, view.pitch = degrees * 0.7, view.roll = 20;
    return photographCard(card, view);
  });
  std::vector<double> ratios = {1.0, 0.9, 0.85, 0.8, 0.7, 0.6, 0.5, 0.4, 0.33};
  sweep<double>(cards, "keystone top", ratios,
                [](const GrayPicture& card, double ratio) { return keystoneCard(card, ratio, 0); });
  sweep<double>(cards, "keystone right", ratios,
                [](const GrayPicture& card, double ratio) { return keystoneCard(card, ratio, 1); });
  std::vector<double> arcs = {30, 60, 90, 120};
  sweep<double>(cards, "cylinder across rows", arcs,
                [](const GrayPicture& card, double arc) { return cylinderCard(card, arc, false); });
  std::vector<double> shadows = {1.0, 0.6, 0.4};
  sweep<double>(cards, "shadow step", shadows,
                [](const GrayPicture& card, double factor) { return shadowStep(card, factor, 20); });
  std::vector<double> contrasts = {255, 80, 55, 40};
  sweep<double>(cards, "contrast", contrasts, [](const GrayPicture& card, double levels) {
    int dark = 128 - (int)levels / 2;
    return fadedContrast(card, dark, dark + (int)levels);
  });
  sweepPoint(cards, "inverted", [](const GrayPicture& card) { return invertedPicture(card); });
  return 0;
}
