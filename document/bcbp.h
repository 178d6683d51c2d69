// IATA Bar Coded Boarding Passes (Resolution 792), format M: 1 to 4 legs,
// versions up to 8, with their conditional items and security data.
#ifndef PDF417_DOCUMENT_BCBP_H
#define PDF417_DOCUMENT_BCBP_H

#include <pdf417read/pdf417read.h>

#include <string>

namespace pdf417read::detail {

// True when the bytes begin like a format M boarding pass: "M", the number
// of legs (1 to 4), a printable passenger name of 20 characters and the
// electronic ticket indicator ("E" or a space).
bool looksLikeBcbp(const std::string& bytes);

// Every item in `fields`, its IATA item number as id, and the summary:
//   passenger_name, electronic_ticket, legs: [{pnr, from, to, carrier,
//   flight, day_of_year, compartment, seat, sequence, status}].
// Sizes that disagree with the data are warned about; what can be read is.
pdf417read::Document parseBcbp(const std::string& bytes);

}  // namespace pdf417read::detail

#endif
