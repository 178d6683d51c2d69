#include "highlevel/text_buffer.h"

#include <cstring>

#include "highlevel/data_decoder.h"

// The length of the buffer's text, never looking past the buffer even if
// its terminator was lost.
static size_t textLength(const char* text, const KeptBytes* kept) {
  if (kept) return kept->count < 0 ? 0 : (size_t)kept->count;
  const void* end = memchr(text, 0, kTextBufferSize);
  return end ? (size_t)((const char*)end - text) : kTextBufferSize - 1;
}

void clearText(char* text, KeptBytes* kept) {
  text[0] = text[1] = text[2] = text[3] = 0;
  if (kept) kept->count = 0;
}

void appendBytes(char* text, const char* bytes, int count, KeptBytes* kept) {
  size_t length = textLength(text, kept);
  if (length > kTextBufferSize - 1) length = kTextBufferSize - 1;
  size_t room = kTextBufferSize - 1 - length;
  size_t pieceLength = count < 0 ? 0 : (size_t)count;
  if (!kept) {
    const void* zero = memchr(bytes, 0, pieceLength);
    if (zero) pieceLength = (size_t)((const char*)zero - bytes);
  }
  if (pieceLength > room) pieceLength = room;
  memcpy(text + length, bytes, pieceLength);
  text[length + pieceLength] = 0;
  if (kept) kept->count = (int)(length + pieceLength);
}

void appendText(char* text, const char* piece, KeptBytes* kept) {
  appendBytes(text, piece, (int)strlen(piece), kept);
}

void appendChar(char* text, int character, KeptBytes* kept) {
  char piece = (char)character;
  appendBytes(text, &piece, 1, kept);
}

void markEci(int eci, KeptBytes* kept) {
  if (!kept || !kept->ecis) return;
  EciMarks* ecis = kept->ecis;
  if (ecis->count >= 0 && ecis->count < kMaxEciMarks) ecis->marks[ecis->count++] = {kept->count, eci};
}
