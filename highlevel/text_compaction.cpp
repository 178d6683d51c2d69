#include "highlevel/text_compaction.h"

#include <cstdlib>

#include "highlevel/eci_designator.h"
#include "runtime/trace.h"

namespace pdf417read::detail {

enum SubMode { kAlpha, kLower, kMixed, kPunctuation, kPunctuationShift, kAlphaShift };

static const char kMixedCharacters[25] = {'0', '1', '2', '3', '4', '5', '6', '7', '8',
                                          '9', '&', '\r', '\t', ',', ':', '#', '-', '.',
                                          '$', '/', '+', '%', '*', '=', '^'};
static const char kPunctuationCharacters[29] = {
    ';', '<',  '>',  '@', '[', '\\', ']', '_', '`', '~', '!', '\r', '\t', ',', ':',
    '\n', '-', '.', '$', '/', '"',  '|', '*', '(', ')', '?', '{', '}',  '\''};

// The shifted codeword's low eight bits; an erased codeword gives nothing.
static void emitShiftedByte(int codeword, DataWalk* walk) {
  if (codeword >= 0) appendChar(walk, codeword & 0xFF);
}

// One value in a latched sub-mode. Returns the sub-mode that follows it;
// *saved receives the sub-mode a shift returns to.
static int alphaValue(int value, int* saved, DataWalk* walk) {
  if (value >= 0 && value <= 25) appendChar(walk, 'A' + value);
  if (value == 26) appendChar(walk, ' ');
  if (value == 27) return kLower;
  if (value == 28) return kMixed;
  if (value == 29) return *saved = kAlpha, kPunctuationShift;
  return kAlpha;
}

static int lowerValue(int value, int* saved, DataWalk* walk) {
  if (value >= 0 && value <= 25) appendChar(walk, 'a' + value);
  if (value == 26) appendChar(walk, ' ');
  if (value == 27) return *saved = kLower, kAlphaShift;
  if (value == 28) return kMixed;
  if (value == 29) return *saved = kLower, kPunctuationShift;
  return kLower;
}

static int mixedValue(int value, int* saved, DataWalk* walk) {
  if (value >= 0 && value <= 24) appendChar(walk, kMixedCharacters[value]);
  if (value == 25) return kPunctuation;
  if (value == 26) appendChar(walk, ' ');
  if (value == 27) return kLower;
  if (value == 28) return kAlpha;
  if (value == 29) return *saved = kMixed, kPunctuationShift;
  return kMixed;
}

static int punctuationValue(int value, DataWalk* walk) {
  if (value >= 0 && value <= 28) appendChar(walk, kPunctuationCharacters[value]);
  if (value == 29) return kAlpha;
  return kPunctuation;
}

// A shift covers exactly one value: the saved sub-mode is current again
// after it, unless the shifted value latches elsewhere.
static int punctuationShiftValue(int value, int saved, DataWalk* walk) {
  if (value >= 0 && value <= 28) appendChar(walk, kPunctuationCharacters[value]);
  if (value == 29) return kAlpha;
  return saved;
}

static int alphaShiftValue(int value, int saved, DataWalk* walk) {
  if (value >= 0 && value <= 25) appendChar(walk, 'A' + value);
  if (value == 26) appendChar(walk, ' ');
  return saved;
}

void textValuesToString(const int* values, const int* byteSlots, int count, DataWalk* walk) {
  int mode = kAlpha;
  int saved = kAlpha;
  for (int i = 0; i < count; i++) {
    int value = values[i];
    // The control block's 928 changes nothing in the text: the message ends
    // there, and the trace's text runs on.
    if (value == kControlBlockMarker) {
      closeMessage(walk);
      continue;
    }
    // A byte shift or an ECI designator acts in any sub-mode, also straight
    // after a shift value: encoders put a 29 before them to fill out an odd
    // count of values, and that 29 is padding.
    if (value == kByteShiftMarker || value == kEciMarker) {
      if (value == kByteShiftMarker) emitShiftedByte(byteSlots[i], walk);
      else markEci(walk, byteSlots[i]);
      if (mode == kPunctuationShift || mode == kAlphaShift) mode = saved;
      continue;
    }
    switch (mode) {
      case kAlpha: mode = alphaValue(value, &saved, walk); break;
      case kLower: mode = lowerValue(value, &saved, walk); break;
      case kMixed: mode = mixedValue(value, &saved, walk); break;
      case kPunctuation: mode = punctuationValue(value, walk); break;
      case kPunctuationShift: mode = punctuationShiftValue(value, saved, walk); break;
      default: mode = alphaShiftValue(value, saved, walk); break;
    }
  }
}

static bool endsTextSegment(int codeword) {
  return codeword == kTextLatch || codeword == kByteLatch || codeword == kNumericLatch ||
         codeword == kByteLatchSix;
}

int textCompaction(const int* codewords, int position, int dataEnd, DataWalk* walk) {
  // Two values per codeword is the most a segment can hold.
  int capacity = dataEnd > position ? 2 * (dataEnd - position) : 1;
  int* values = (int*)malloc(sizeof(int) * capacity);
  int* byteSlots = (int*)malloc(sizeof(int) * capacity);
  if (!values || !byteSlots) {
    free(values);
    free(byteSlots);
    if (walk->traced) trace(" textCompaction alloc error\n");
    return -1;
  }
  int count = 0;
  for (; position < dataEnd; position++) {
    int codeword = codewords[position];
    if (endsTextSegment(codeword)) break;
    if (codeword == kByteShiftMarker) {
      values[count] = kByteShiftMarker;
      byteSlots[count] = -1;
      if (position + 1 < dataEnd) byteSlots[count] = codewords[++position];
      count++;
    } else if (isEciDesignator(codeword)) {
      values[count] = kEciMarker;
      byteSlots[count++] = eciDesignatorValue(codewords, position, dataEnd);
      position = eciDesignatorEnd(codewords, position, dataEnd) - 1;
    } else if (codeword < 0) {
      // An erased codeword: two unknown values that emit nothing.
      values[count++] = -1;
      values[count++] = -1;
    } else if (codeword < kFirstModeCodeword) {
      values[count++] = codeword / 30;
      values[count++] = codeword % 30;
    } else if (meetControlCodeword(walk, codewords, position, dataEnd)) {
      values[count++] = kControlBlockMarker;
    }
  }
  textValuesToString(values, byteSlots, count, walk);
  free(values);
  free(byteSlots);
  return position;
}

}  // namespace pdf417read::detail
