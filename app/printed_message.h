// What the program prints for a symbol's message.
#ifndef PDF417_APP_PRINTED_MESSAGE_H
#define PDF417_APP_PRINTED_MESSAGE_H

#include <pdf417read/pdf417read.h>

#include <string>

// The UTF-8 text when the symbol names its character sets with ECIs that
// all convert to text; otherwise the bytes as they are (no ECI, binary
// data, or an ECI whose set is unknown).
std::string printedMessage(const pdf417read::Symbol& symbol);

#endif
