// A reading's message and layout as the public Symbol: the message's text
// in UTF-8 by its ECIs, its Macro PDF417 fields, and what the reading saw.
#ifndef PDF417_PIPELINE_PUBLIC_SYMBOL_H
#define PDF417_PIPELINE_PUBLIC_SYMBOL_H

#include <pdf417read/pdf417read.h>

#include <optional>

#include "pipeline/symbol_reading.h"

namespace pdf417read::detail {

// The symbol a reading holds; none when its codewords hold no valid
// message (a designator that names no ECI).
std::optional<Symbol> symbolOf(const SymbolReading& reading, const Options& options);

}  // namespace pdf417read::detail

#endif
