// Text compaction: each data codeword carries two base-30 text values that
// four sub-modes (alpha, lower, mixed, punctuation) turn into characters.
#ifndef PDF417_HIGHLEVEL_TEXT_COMPACTION_H
#define PDF417_HIGHLEVEL_TEXT_COMPACTION_H

#include "highlevel/mode_codewords.h"
#include "highlevel/data_walk.h"

namespace pdf417read::detail {

// Mark a byte shift and an ECI designator in the text-value array; the
// byte slot beside them holds the shifted codeword or the ECI number. A
// third marker stands where the Macro control block starts.
enum { kByteShiftMarker = kByteShift, kEciMarker = kEciCharacterSet, kControlBlockMarker = kMacroControlBlock };

// Decodes the text segment that starts at position and appends its
// characters to the walk. dataEnd is the first position not to be read (the
// length descriptor, clamped to the codewords that exist). Returns the
// position of the codeword that ended the segment, dataEnd when the data ran
// out, or -1 when the working arrays cannot be allocated. An ECI designator
// and its arguments are stepped over.
int textCompaction(const int* codewords, int position, int dataEnd, DataWalk* walk);

// Runs the sub-modes over count text values (0..29, a marker, or a
// negative erased value) and appends the characters to the walk. byteSlots
// is read only beside a byte shift or designator marker, which leaves the
// latched sub-mode as it is and ends a pending shift, padding there. The
// control block marker changes nothing in the sub-modes.
void textValuesToString(const int* values, const int* byteSlots, int count, DataWalk* walk);

}  // namespace pdf417read::detail

#endif
