#include "support/message_symbols.h"

#include <zint.h>

#include <cstring>

namespace pdf417read::detail {

bool encodeMessageSymbol(const MessageSymbol& message, ModuleMatrix* symbol, std::string* error) {
  zint_symbol* z = ZBarcode_Create();
  if (!z) return false;
  z->symbology = BARCODE_PDF417;
  z->input_mode = message.binary ? DATA_MODE : UNICODE_MODE;
  if (message.readerInit) z->output_options |= READER_INIT;
  if (message.macroCount > 0) {
    z->structapp.index = message.macroIndex;
    z->structapp.count = message.macroCount;
    std::strncpy(z->structapp.id, message.macroFileId.c_str(), sizeof z->structapp.id - 1);
  }
  std::vector<zint_seg> segments;
  for (const EciSegment& segment : message.segments)
    segments.push_back({(unsigned char*)segment.text.data(), (int)segment.text.size(), segment.eci});
  int status = ZBarcode_Encode_Segs(z, segments.data(), (int)segments.size());
  return takeEncoded(z, status, symbol, error);
}

static GrayPicture drawMessageSymbol(const MessageSymbol& message) {
  ModuleMatrix symbol;
  std::string error;
  if (!encodeMessageSymbol(message, &symbol, &error)) return GrayPicture{};
  return drawSymbol(symbol, DrawOptions{});
}

pdf417read::ReadResult readMessageSymbol(const MessageSymbol& message) {
  GrayPicture picture = drawMessageSymbol(message);
  pdf417read::ImageView view(picture.pixels.data(), picture.width, picture.height,
                             pdf417read::PixelFormat::Gray);
  return pdf417read::read(view);
}

std::string writeMessageSymbol(const MessageSymbol& message, const std::string& name) {
  std::string path = workPath(name);
  writePicture(drawMessageSymbol(message), path);
  return path;
}

}  // namespace pdf417read::detail
