// Text compaction: each data codeword carries two base-30 text values that
// four sub-modes (alpha, lower, mixed, punctuation) turn into characters.
#ifndef PDF417_HIGHLEVEL_TEXT_COMPACTION_H
#define PDF417_HIGHLEVEL_TEXT_COMPACTION_H

#include "highlevel/mode_codewords.h"
#include "highlevel/text_buffer.h"

// Mark a byte shift and an ECI designator in the text-value array; the
// byte slot beside them holds the shifted codeword or the ECI number.
enum { kByteShiftMarker = kByteShift, kEciMarker = kEciCharacterSet };

// Decodes the text segment that starts at position and appends its
// characters to text. dataEnd is the first position not to be read (the
// length descriptor, clamped to the codewords that exist). Returns the
// position of the codeword that ended the segment, dataEnd when the data ran
// out, or -1 when the working arrays cannot be allocated. An ECI designator
// and its arguments are stepped over. With kept, every
// byte is kept and nothing is traced (see text_buffer.h).
int textCompaction(const int* codewords, int position, char* text, int dataEnd,
                   KeptBytes* kept = nullptr);

// Runs the sub-modes over count text values (0..29, a marker, or a
// negative erased value) and appends the characters to text. byteSlots is
// read only beside a marker. A marker leaves the latched sub-mode as it is
// and ends a pending shift, which is padding there.
void textValuesToString(const int* values, const int* byteSlots, int count, char* text,
                        KeptBytes* kept = nullptr);

#endif
