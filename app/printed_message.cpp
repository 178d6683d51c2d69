#include "app/printed_message.h"

#include <cstring>

static bool isTextEci(int eci) {
  const char* charset = pdf417read::eciCharset(eci);
  return charset && std::strcmp(charset, "binary") != 0;
}

std::string printedMessage(const pdf417read::Symbol& symbol) {
  if (symbol.eci.empty()) return symbol.bytes;
  for (int eci : symbol.eci)
    if (!isTextEci(eci)) return symbol.bytes;
  return symbol.text;
}
