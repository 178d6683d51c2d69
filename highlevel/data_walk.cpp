#include "highlevel/data_walk.h"

#include <cstring>

#include "highlevel/macro_block.h"
#include "highlevel/mode_codewords.h"
#include "highlevel/walk_trace.h"

namespace pdf417read::detail {

DataWalk startWalk(char* bytes, EciMarks* ecis, MacroBlock* macro, TracedText* traced) {
  bytes[0] = 0;
  if (ecis) ecis->count = 0;
  if (macro) macro->present = 0;
  if (traced) clearTracedText(traced);
  DataWalk walk = {bytes, 0, ecis, macro, 0, 0, 0, traced};
  return walk;
}

void appendBytes(DataWalk* walk, const char* bytes, int count) {
  if (count < 0) count = 0;
  if (walk->traced) traceAppend(walk->traced, bytes, count);
  if (walk->closed) return;
  int room = kTextBufferSize - 1 - walk->length;
  if (count > room) count = room;
  std::memcpy(walk->bytes + walk->length, bytes, (size_t)count);
  walk->length += count;
  walk->bytes[walk->length] = 0;
}

void appendText(DataWalk* walk, const char* piece) { appendBytes(walk, piece, (int)std::strlen(piece)); }

void appendChar(DataWalk* walk, int character) {
  char piece = (char)character;
  appendBytes(walk, &piece, 1);
}

int markEci(DataWalk* walk, int eci) {
  EciMarks* ecis = walk->ecis;
  if (walk->closed || !ecis || ecis->count < 0 || ecis->count >= kMaxEciMarks) return -1;
  ecis->marks[ecis->count] = {walk->length, eci};
  return ecis->count++;
}

bool meetControlCodeword(DataWalk* walk, const int* codewords, int position, int dataEnd) {
  if (walk->blockStart > 0) return false;
  int codeword = codewords[position];
  if (codeword == kReaderInit) walk->readerInit = 1;
  if (codeword != kMacroControlBlock || !walk->macro) return false;
  walk->blockStart = position;
  readMacroBlock(codewords, position, dataEnd, walk->macro);
  return true;
}

void closeMessage(DataWalk* walk) { walk->closed = 1; }

}  // namespace pdf417read::detail
