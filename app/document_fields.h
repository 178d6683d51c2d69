// What --fields prints for a symbol that holds a document.
#ifndef PDF417_APP_DOCUMENT_FIELDS_H
#define PDF417_APP_DOCUMENT_FIELDS_H

#include <pdf417read/pdf417read.h>

#include <string>

// One line "  key: value" per summary item (items of a list as
// "  legs[1].from: YUL"; null, true and false as such), then one line
// "  warning: TEXT" per warning.
std::string documentFieldLines(const pdf417read::Document& document);

#endif
