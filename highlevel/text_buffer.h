// Appending to the decoder's text buffer (kTextBufferSize bytes). Every
// append is bounded: whatever the codewords say, nothing is written past the
// buffer's last byte.
//
// By default the buffer holds one NUL-terminated string, so a zero byte ends
// what a piece contributes. With textKeepsZeroBytes set, every byte is kept,
// zero bytes included, and textBytesUsed counts them.
#ifndef PDF417_HIGHLEVEL_TEXT_BUFFER_H
#define PDF417_HIGHLEVEL_TEXT_BUFFER_H

extern int textKeepsZeroBytes;
extern int textBytesUsed;

// Starts an empty text.
void clearText(char* text);

// Appends piece up to its NUL, cut short when the buffer is full.
void appendText(char* text, const char* piece);

// Appends count bytes: as a string (up to the first zero byte) by default,
// all of them while zero bytes are kept.
void appendBytes(char* text, const char* bytes, int count);

// Appends one character; by default a zero character appends nothing, as an
// empty string would.
void appendChar(char* text, int character);

#endif
