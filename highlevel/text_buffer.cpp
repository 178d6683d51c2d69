#include "highlevel/text_buffer.h"

#include <cstring>

#include "highlevel/data_decoder.h"

int textKeepsZeroBytes = 0;
int textBytesUsed = 0;

// The length of the buffer's text, never looking past the buffer even if
// its terminator was lost.
static size_t textLength(const char* text) {
  if (textKeepsZeroBytes) return (size_t)textBytesUsed;
  const void* end = memchr(text, 0, kTextBufferSize);
  return end ? (size_t)((const char*)end - text) : kTextBufferSize - 1;
}

void clearText(char* text) {
  text[0] = text[1] = text[2] = text[3] = 0;
  textBytesUsed = 0;
}

void appendBytes(char* text, const char* bytes, int count) {
  size_t length = textLength(text);
  size_t room = kTextBufferSize - 1 - length;
  size_t pieceLength = count < 0 ? 0 : (size_t)count;
  if (!textKeepsZeroBytes) {
    const void* zero = memchr(bytes, 0, pieceLength);
    if (zero) pieceLength = (size_t)((const char*)zero - bytes);
  }
  if (pieceLength > room) pieceLength = room;
  memcpy(text + length, bytes, pieceLength);
  text[length + pieceLength] = 0;
  textBytesUsed = (int)(length + pieceLength);
}

void appendText(char* text, const char* piece) { appendBytes(text, piece, (int)strlen(piece)); }

void appendChar(char* text, int character) {
  char piece = (char)character;
  appendBytes(text, &piece, 1);
}
