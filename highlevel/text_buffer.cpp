#include "highlevel/text_buffer.h"

#include <cstring>

#include "highlevel/data_decoder.h"

// The length of the buffer's string, never looking past the buffer even if
// its terminator was lost.
static size_t textLength(const char* text) {
  const void* end = memchr(text, 0, kTextBufferSize);
  return end ? (size_t)((const char*)end - text) : kTextBufferSize - 1;
}

void appendText(char* text, const char* piece) {
  size_t length = textLength(text);
  size_t room = kTextBufferSize - 1 - length;
  size_t pieceLength = strlen(piece);
  if (pieceLength > room) pieceLength = room;
  memcpy(text + length, piece, pieceLength);
  text[length + pieceLength] = 0;
}

void appendChar(char* text, int character) {
  char piece[2] = {(char)character, 0};
  appendText(text, piece);
}
