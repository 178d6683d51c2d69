// Text compaction: each data codeword carries two base-30 text values that
// four sub-modes (alpha, lower, mixed, punctuation) turn into characters.
#ifndef PDF417_HIGHLEVEL_TEXT_COMPACTION_H
#define PDF417_HIGHLEVEL_TEXT_COMPACTION_H

#include "highlevel/text_buffer.h"

// Marks a byte shift in the text-value array; its byte slot holds the
// shifted codeword.
enum { kByteShiftMarker = 913 };

// Decodes the text segment that starts at position and appends its
// characters to text. dataEnd is the first position not to be read (the
// length descriptor, clamped to the codewords that exist). Returns the
// position of the codeword that ended the segment, dataEnd when the data ran
// out, or -1 when the working arrays cannot be allocated. With kept, every
// byte is kept and nothing is traced (see text_buffer.h).
int textCompaction(const int* codewords, int position, char* text, int dataEnd,
                   KeptBytes* kept = nullptr);

// Runs the sub-modes over count text values (0..29, the byte-shift marker,
// or a negative erased value) and appends the characters to text. byteSlots
// is read only beside a marker.
void textValuesToString(const int* values, const int* byteSlots, int count, char* text,
                        KeptBytes* kept = nullptr);

#endif
