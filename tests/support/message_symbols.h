// Test support: PDF417 symbols with ECI segments, Macro PDF417 control
// blocks or the reader initialisation flag, encoded with libzint, and the
// public reader run on their pictures.
#ifndef PDF417_TESTS_SUPPORT_MESSAGE_SYMBOLS_H
#define PDF417_TESTS_SUPPORT_MESSAGE_SYMBOLS_H

#include <pdf417read/pdf417read.h>

#include <string>
#include <vector>

#include "support/symbol_pictures.h"

namespace pdf417read::detail {

struct EciSegment {
  int eci = 0;       // 0: no ECI designator
  std::string text;  // UTF-8; the encoder converts it to the ECI's set
};

struct MessageSymbol {
  std::vector<EciSegment> segments;
  bool binary = false;  // take each segment's text as bytes, unconverted
  // Macro PDF417: segment index 1..count as the encoder counts, file id
  // digits (empty: none). Off while count is 0.
  int macroIndex = 0;
  int macroCount = 0;
  std::string macroFileId;
  bool readerInit = false;
};

// False with the encoder's message in *error when it refuses.
bool encodeMessageSymbol(const MessageSymbol& message, ModuleMatrix* symbol, std::string* error = nullptr);

// Encodes, draws (3 pixels per module) and reads the symbol back through
// pdf417read::read.
pdf417read::ReadResult readMessageSymbol(const MessageSymbol& message);

// Encodes, draws and writes the symbol as a PNG under the scratch folder.
std::string writeMessageSymbol(const MessageSymbol& message, const std::string& name);

}  // namespace pdf417read::detail

#endif
