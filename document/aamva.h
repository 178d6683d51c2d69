// AAMVA DL/ID records: the PDF417 symbol on the back of US and Canadian
// driver licences and ID cards, versions 0 (the forms before 2000, as far as
// they are recognisable) to 10 and later ones, with the deviations real
// cards carry tolerated and warned about.
#ifndef PDF417_DOCUMENT_AAMVA_H
#define PDF417_DOCUMENT_AAMVA_H

#include <pdf417read/pdf417read.h>

#include <string>

namespace pdf417read::detail {

// True when the bytes begin like an AAMVA record: "@" and either the
// header's LF and CR around its separator or "ANSI " / "AAMVA" after it.
bool looksLikeAamva(const std::string& bytes);

// Every subfile's elements in `fields` and the card's summary:
//   issuer_iin, document_type, family_name, given_names, name_suffix,
//   date_of_birth, issue_date, expiry_date, sex, document_number, street,
//   city, state, postal_code, country, height_cm, eye_color.
pdf417read::Document parseAamva(const std::string& bytes);

}  // namespace pdf417read::detail

#endif
