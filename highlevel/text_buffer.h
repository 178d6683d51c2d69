// Appending to the decoder's text buffer (kTextBufferSize bytes). Every
// append is bounded: whatever the codewords say, nothing is written past the
// buffer's last byte.
//
// Without a KeptBytes (the exact path) the buffer holds one NUL-terminated
// string, so a zero byte ends what a piece contributes. With one, every byte
// is kept, zero bytes included, and its count says how many the buffer holds.
#ifndef PDF417_HIGHLEVEL_TEXT_BUFFER_H
#define PDF417_HIGHLEVEL_TEXT_BUFFER_H

// Where each ECI designator met starts its part of the message: the number
// of bytes kept before it, and its ECI (-1: a designator whose arguments are
// missing or not data). A symbol's data holds at most 464 designators.
enum { kMaxEciMarks = 480 };
struct EciMark {
  int position;
  int eci;
};
struct EciMarks {
  int count;
  EciMark marks[kMaxEciMarks];
};

// The length of a buffer whose bytes are all kept. The decoders also take
// one as the sign that the message is decoded for its bytes alone, and trace
// none of the data they decode while it is. With ecis, every ECI designator
// met is recorded there.
struct KeptBytes {
  int count = 0;
  EciMarks* ecis = nullptr;
};

// Starts an empty text.
void clearText(char* text, KeptBytes* kept = nullptr);

// Appends piece up to its NUL, cut short when the buffer is full.
void appendText(char* text, const char* piece, KeptBytes* kept = nullptr);

// Appends count bytes: as a string (up to the first zero byte) without kept,
// all of them with it.
void appendBytes(char* text, const char* bytes, int count, KeptBytes* kept = nullptr);

// Appends one character; without kept a zero character appends nothing, as
// an empty string would.
void appendChar(char* text, int character, KeptBytes* kept = nullptr);

// Records that the bytes from here on are in ECI eci; nothing without kept
// or its ecis.
void markEci(int eci, KeptBytes* kept);

#endif
