// A message's bytes as UTF-8 text, each part converted from the character
// set its ECI names (through the C library's iconv).
#ifndef PDF417_HIGHLEVEL_ECI_TEXT_H
#define PDF417_HIGHLEVEL_ECI_TEXT_H

namespace pdf417read::detail {

// ECI 899: the bytes are binary data, not text in any character set.
enum { kEciBinary = 899 };

// The character set of an ECI as iconv names it: "binary" for 899, null for
// an ECI this reader does not know.
const char* eciCharsetName(int eci);

// UTF-8 needs at most this many bytes for count bytes of any known set.
inline int utf8Capacity(int count) { return 4 * count + 4; }

// Appends count bytes in charset to out as UTF-8; out holds capacity bytes
// and *length of them are in use. A byte sequence that is not valid in the
// set becomes U+FFFD and conversion goes on after it. ISO-8859-1 and binary
// are converted byte for byte. Returns 0 when iconv does not know the set
// (nothing is appended), 1 otherwise.
int appendAsUtf8(const char* charset, const char* bytes, int count, char* out, int capacity,
                 int* length);

}  // namespace pdf417read::detail

#endif
