// The program's output for people: the picture with every symbol found
// outlined and numbered.
#ifndef PDF417_APP_ANNOTATED_PICTURE_H
#define PDF417_APP_ANNOTATED_PICTURE_H

#include <pdf417read/pdf417read.h>

#include <string>
#include <vector>

// Decodes the picture file's bytes again, draws each symbol's outline (3
// pixels wide) and its number (1, 2, ... in the order given) beside its
// top-left corner, and writes the result to path in the format its
// extension names (annotationFormat). Of a multi-page file the first page is
// drawn, with its symbols. False with the reason in *error when the picture
// cannot be read or the file written.
bool writeAnnotatedPicture(const std::string& path, const std::vector<unsigned char>& pictureFile,
                           const std::vector<pdf417read::Symbol>& symbols, std::string* error);

enum class AnnotationFormat { None, Png, Jpeg, Bmp, Tga };
// The extensions annotationFormat knows, for messages.
extern const char kAnnotationFormats[];

// The format a file name's extension (any case) asks for: .png, .jpg, .jpeg,
// .bmp, .tga; PNG without an extension; None for any other extension.
AnnotationFormat annotationFormat(const std::string& path);

// The annotation file for the picture at index (0-based) of several:
// OUT.png for the first, OUT-2.png for the second, and so on.
std::string annotationPath(const std::string& path, size_t index);

#endif
