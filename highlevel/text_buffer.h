// Appending to the decoder's text buffer (kTextBufferSize bytes, one
// NUL-terminated string). Every append is bounded: whatever the codewords
// say, nothing is written past the buffer's last byte.
#ifndef PDF417_HIGHLEVEL_TEXT_BUFFER_H
#define PDF417_HIGHLEVEL_TEXT_BUFFER_H

// Appends piece up to its NUL, cut short when the buffer is full.
void appendText(char* text, const char* piece);

// Appends one character; a zero character appends nothing, as an empty
// string would.
void appendChar(char* text, int character);

#endif
