#include "image/pnm_reader.h"

#include <cstdlib>

#include "image/gray_conversion.h"

namespace pdf417read::detail {

namespace {

const char* const kFormatNames[] = {"PBM", "PGM", "PPM"};

bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads the file's bytes in order; `at` never passes `size`.
struct Cursor {
  const unsigned char* bytes;
  size_t size;
  size_t at;
};

// Skips blanks and # comments, which may stand between any two numbers of
// the header (and of a plain file's samples).
void skipBlanks(Cursor* in) {
  for (;;) {
    while (in->at < in->size && isSpace(in->bytes[in->at])) in->at++;
    if (in->at >= in->size || in->bytes[in->at] != '#') return;
    while (in->at < in->size && in->bytes[in->at] != '\n' && in->bytes[in->at] != '\r') in->at++;
  }
}

// A decimal number of at most `limit`; false when there is none, or a
// larger one.
bool readNumber(Cursor* in, long long limit, long long* value) {
  skipBlanks(in);
  size_t start = in->at;
  long long number = 0;
  for (; in->at < in->size && in->bytes[in->at] >= '0' && in->bytes[in->at] <= '9'; in->at++) {
    number = number * 10 + (in->bytes[in->at] - '0');
    if (number > limit) return false;
  }
  *value = number;
  return in->at > start;
}

// What the header says.
struct PnmHeader {
  int kind;        // 1 to 6, from "P1" to "P6"
  bool plain;      // ASCII samples (P1 to P3)
  bool bits;       // one bit a pixel (P1, P4)
  int samples;     // samples a pixel: 1 or 3
  long long width, height;
  int maxValue;    // 1 for PBM
};

// Samples of the file's range to 0..255.
struct SampleScale {
  int maxValue;
  int operator()(int sample) const {
    if (sample > maxValue) sample = maxValue;
    if (maxValue == 255) return sample;
    if (maxValue == 65535) return sample >> 8;
    return (sample * 255 + maxValue / 2) / maxValue;
  }
};

// The file's samples a row at a time, one or three a pixel, as 8-bit values.
class SampleReader {
 public:
  SampleReader(Cursor* in, const PnmHeader& header) : in_(in), header_(header), scale_{header.maxValue} {}

  // Reads one row of header.width pixels into row (8-bit samples); false
  // when the file ends first or holds something else.
  bool readRow(unsigned char* row) {
    long long count = header_.width * header_.samples;
    if (header_.bits) return header_.plain ? plainBits(row, count) : rawBits(row, count);
    if (header_.plain) return plainSamples(row, count);
    return header_.maxValue > 255 ? rawWide(row, count) : rawNarrow(row, count);
  }

 private:
  bool plainBits(unsigned char* row, long long count) {
    // Bits need no blanks between them: each 0 or 1 is one pixel.
    for (long long i = 0; i < count; i++) {
      skipBlanks(in_);
      if (in_->at >= in_->size) return false;
      unsigned char c = in_->bytes[in_->at++];
      if (c != '0' && c != '1') return false;
      row[i] = c == '1' ? 0 : 255;
    }
    return true;
  }
  bool rawBits(unsigned char* row, long long count) {
    size_t rowBytes = (size_t)(count + 7) / 8;
    if (in_->size - in_->at < rowBytes) return false;
    const unsigned char* packed = in_->bytes + in_->at;
    for (long long i = 0; i < count; i++) row[i] = packed[i / 8] >> (7 - i % 8) & 1 ? 0 : 255;
    in_->at += rowBytes;
    return true;
  }
  bool plainSamples(unsigned char* row, long long count) {
    for (long long i = 0; i < count; i++) {
      long long sample = 0;
      if (!readNumber(in_, 65535, &sample)) return false;
      row[i] = (unsigned char)scale_((int)sample);
    }
    return true;
  }
  bool rawNarrow(unsigned char* row, long long count) {
    if (in_->size - in_->at < (size_t)count) return false;
    const unsigned char* samples = in_->bytes + in_->at;
    for (long long i = 0; i < count; i++) row[i] = (unsigned char)scale_(samples[i]);
    in_->at += (size_t)count;
    return true;
  }
  bool rawWide(unsigned char* row, long long count) {
    if ((in_->size - in_->at) / 2 < (size_t)count) return false;
    const unsigned char* samples = in_->bytes + in_->at;
    for (long long i = 0; i < count; i++) row[i] = (unsigned char)scale_(samples[2 * i] << 8 | samples[2 * i + 1]);
    in_->at += 2 * (size_t)count;
    return true;
  }

  Cursor* in_;
  const PnmHeader& header_;
  SampleScale scale_;
};

bool readHeader(Cursor* in, PnmHeader* header) {
  header->kind = in->bytes[1] - '0';
  header->plain = header->kind <= 3;
  header->bits = header->kind == 1 || header->kind == 4;
  header->samples = header->kind == 3 || header->kind == 6 ? 3 : 1;
  in->at = 2;
  long long maxValue = 1;
  // Sides beyond the limits are read whole, to be refused by size.
  const long long kLargestSide = 1LL << 40;
  if (!readNumber(in, kLargestSide, &header->width) || !readNumber(in, kLargestSide, &header->height)) return false;
  if (!header->bits && (!readNumber(in, 65535, &maxValue) || maxValue < 1)) return false;
  header->maxValue = (int)maxValue;
  // One blank ends the header; a raw file's samples follow it at once.
  if (in->at >= in->size || !isSpace(in->bytes[in->at])) return false;
  in->at++;
  return true;
}

// Bytes a raw file's pixels need, or a plain file's at the least (one
// character a sample).
unsigned long long leastPixelBytes(const PnmHeader& header) {
  unsigned long long samples = (unsigned long long)header.width * header.height * header.samples;
  if (header.plain) return samples;
  if (header.bits) return (unsigned long long)(header.width + 7) / 8 * header.height;
  return header.maxValue > 255 ? 2 * samples : samples;
}

}  // namespace

bool isPnm(const unsigned char* bytes, size_t size) {
  return bytes && size >= 2 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6';
}

bool decodePnm(const unsigned char* bytes, size_t size, int channels, DecodedPicture* picture,
               PictureStatus* status) {
  if (!isPnm(bytes, size)) return pictureFails(status, kPictureUnknownFormat);
  status->format = kFormatNames[(bytes[1] - '1') % 3];
  Cursor in = {bytes, size, 0};
  PnmHeader header;
  if (!readHeader(&in, &header)) return pictureFails(status, in.at >= size ? kPictureTruncated : kPictureDamaged);
  if (!pictureSizeAllowed(size, header.width, header.height, status)) return false;
  // Every pixel is in the file: one that is too short for them is refused
  // before the picture is allocated.
  if (leastPixelBytes(header) > size - in.at) return pictureFails(status, kPictureTruncated);
  int width = (int)header.width, height = (int)header.height;
  unsigned char* row = (unsigned char*)std::malloc((size_t)width * header.samples);
  if (!row || !allocatePicture(picture, width, height, channels, status)) {
    std::free(row);
    return pictureFails(status, kPictureOutOfMemory);
  }
  int colour = header.samples == 3 ? 1 : 0;
  SampleReader samples(&in, header);
  for (int y = 0; y < height; y++) {
    if (!samples.readRow(row)) {
      std::free(row);
      freeDecodedPicture(picture);
      return pictureFails(status, in.at >= size ? kPictureTruncated : kPictureDamaged);
    }
    pixelRowTo(channels, row, width, header.samples, 0, colour, 2 * colour, -1, pictureRow(*picture, y));
  }
  std::free(row);
  return true;
}

}  // namespace pdf417read::detail
