// ISO/IEC 15434 envelopes: "[)>" RS, formats each ending with RS, then EOT.
// Formats 06 and 12 hold data elements led by ANSI MH10.8.2 data
// identifiers, format 05 GS1 element strings (see gs1_elements.h); every
// format's elements are split at GS.
#ifndef PDF417_DOCUMENT_ISO15434_H
#define PDF417_DOCUMENT_ISO15434_H

#include <pdf417read/pdf417read.h>

#include <string>

namespace pdf417read::detail {

// True when the bytes begin with the envelope's header "[)>".
bool looksLikeIso15434(const std::string& bytes);

// Every data element in `fields` (its data identifier as id in formats 06
// and 12, its GS1 application identifier in format 05, else empty) and the
// summary {formats: [{format, fields: [{id,
// value}]}]}.
pdf417read::Document parseIso15434(const std::string& bytes);

}  // namespace pdf417read::detail

#endif
