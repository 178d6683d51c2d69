// The codeword buffer that the row reader fills and error correction and
// data decoding read: kCodewordBufferSize ints, -2 = never written, -1 =
// unreadable (erasure), 0..928 = codeword; entry 0 is the symbol length
// descriptor.
#ifndef PDF417_CODEWORD_CODEWORD_BUFFER_H
#define PDF417_CODEWORD_CODEWORD_BUFFER_H

namespace pdf417read::detail {

enum { kCodewordBufferSize = 3060 };

}  // namespace pdf417read::detail

#endif
