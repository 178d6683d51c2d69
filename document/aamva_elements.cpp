#include "document/aamva_elements.h"

#include <cstring>

namespace pdf417read::detail {

namespace {

struct Element {
  const char* id;
  const char* name;
  int firstVersion;  // the versions from 2 on that define it
  int lastVersion;
};

const int kLatest = 1000;

// The 2020 table, and the elements of versions 2 and 3 that it dropped.
// Versions 2 and 3 wrote the given names in DCT; version 4 split them into
// DAC and DAD and added the truncation flags and the later indicators.
const Element kElements2020[] = {
    {"DCA", "Jurisdiction-specific vehicle class", 2, kLatest},
    {"DCB", "Jurisdiction-specific restriction codes", 2, kLatest},
    {"DCD", "Jurisdiction-specific endorsement codes", 2, kLatest},
    {"DBA", "Document Expiration Date", 2, kLatest},
    {"DCS", "Customer Family Name", 2, kLatest},
    {"DAC", "Customer First Name", 2, kLatest},
    {"DAD", "Customer Middle Name(s)", 2, kLatest},
    {"DBD", "Document Issue Date", 2, kLatest},
    {"DBB", "Date of Birth", 2, kLatest},
    {"DBC", "Physical Description - Sex", 2, kLatest},
    {"DAY", "Physical Description - Eye Color", 2, kLatest},
    {"DAU", "Physical Description - Height", 2, kLatest},
    {"DAG", "Address - Street 1", 2, kLatest},
    {"DAI", "Address - City", 2, kLatest},
    {"DAJ", "Address - Jurisdiction Code", 2, kLatest},
    {"DAK", "Address - Postal Code", 2, kLatest},
    {"DAQ", "Customer ID Number", 2, kLatest},
    {"DCF", "Document Discriminator", 2, kLatest},
    {"DCG", "Country Identification", 2, kLatest},
    {"DDE", "Family name truncation", 4, kLatest},
    {"DDF", "First name truncation", 4, kLatest},
    {"DDG", "Middle name truncation", 4, kLatest},
    {"DAH", "Address - Street 2", 2, kLatest},
    {"DAZ", "Hair color", 2, kLatest},
    {"DCI", "Place of birth", 2, kLatest},
    {"DCJ", "Audit information", 2, kLatest},
    {"DCK", "Inventory control number", 2, kLatest},
    {"DBN", "Alias / AKA Family Name", 2, kLatest},
    {"DBG", "Alias / AKA Given Name", 2, kLatest},
    {"DBS", "Alias / AKA Suffix Name", 2, kLatest},
    {"DCU", "Name Suffix", 2, kLatest},
    {"DCE", "Physical Description - Weight Range", 2, kLatest},
    {"DCL", "Race / ethnicity", 2, kLatest},
    {"DCM", "Standard vehicle classification", 2, kLatest},
    {"DCN", "Standard endorsement code", 2, kLatest},
    {"DCO", "Standard restriction code", 2, kLatest},
    {"DCP", "Jurisdiction-specific vehicle classification description", 2, kLatest},
    {"DCQ", "Jurisdiction-specific endorsement code description", 2, kLatest},
    {"DCR", "Jurisdiction-specific restriction code description", 2, kLatest},
    {"DDA", "Compliance Type", 4, kLatest},
    {"DDB", "Card Revision Date", 4, kLatest},
    {"DDC", "HAZMAT Endorsement Expiration Date", 4, kLatest},
    {"DDD", "Limited Duration Document Indicator", 4, kLatest},
    {"DAW", "Weight (pounds)", 2, kLatest},
    {"DAX", "Weight (kilograms)", 2, kLatest},
    {"DDH", "Under 18 Until", 4, kLatest},
    {"DDI", "Under 19 Until", 4, kLatest},
    {"DDJ", "Under 21 Until", 4, kLatest},
    {"DDK", "Organ Donor Indicator", 4, kLatest},
    {"DDL", "Veteran Indicator", 4, kLatest},
    {"DCT", "Customer Given Names", 2, 3},
    {"DCH", "Federal Commercial Vehicle Codes", 2, 3},
};

// Version 1 (the 2000 standard); the pre-2000 forms use the same ids.
const Element kElementsVersion1[] = {
    {"DAA", "Driver License Name", 0, 0},
    {"DAB", "Driver Last Name", 0, 0},
    {"DAC", "Driver First Name", 0, 0},
    {"DAD", "Driver Middle Name or Initial", 0, 0},
    {"DAE", "Driver Name Suffix", 0, 0},
    {"DAF", "Driver Name Prefix", 0, 0},
    {"DAG", "Driver Mailing Street Address 1", 0, 0},
    {"DAH", "Driver Mailing Street Address 2", 0, 0},
    {"DAI", "Driver Mailing City", 0, 0},
    {"DAJ", "Driver Mailing Jurisdiction Code", 0, 0},
    {"DAK", "Driver Mailing Postal Code", 0, 0},
    {"DAL", "Driver Residence Street Address 1", 0, 0},
    {"DAM", "Driver Residence Street Address 2", 0, 0},
    {"DAN", "Driver Residence City", 0, 0},
    {"DAO", "Driver Residence Jurisdiction Code", 0, 0},
    {"DAP", "Driver Residence Postal Code", 0, 0},
    {"DAQ", "Driver License/ID Number", 0, 0},
    {"DAR", "Driver License Classification Code", 0, 0},
    {"DAS", "Driver License Restriction Code", 0, 0},
    {"DAT", "Driver License Endorsements Code", 0, 0},
    {"DAU", "Height (FT/IN)", 0, 0},
    {"DAV", "Height (CM)", 0, 0},
    {"DAW", "Weight (LBS)", 0, 0},
    {"DAX", "Weight (KG)", 0, 0},
    {"DAY", "Eye Color", 0, 0},
    {"DAZ", "Hair Color", 0, 0},
    {"DBA", "License Expiration Date", 0, 0},
    {"DBB", "Date of Birth", 0, 0},
    {"DBC", "Driver Sex", 0, 0},
    {"DBD", "License or ID Document Issue Date", 0, 0},
    {"DBE", "Issue Timestamp", 0, 0},
    {"DBF", "Number of Duplicates", 0, 0},
    {"DBG", "Medical Indicator/Codes", 0, 0},
    {"DBH", "Organ Donor", 0, 0},
    {"DBI", "Non-Resident Indicator", 0, 0},
    {"DBJ", "Unique Customer Identifier", 0, 0},
    {"DBK", "Social Security Number", 0, 0},
    {"DBL", "Driver \"AKA\" Date of Birth", 0, 0},
    {"DBM", "Driver \"AKA\" Social Security Number", 0, 0},
    {"DBN", "Driver \"AKA\" Name", 0, 0},
    {"DBO", "Driver \"AKA\" Last Name", 0, 0},
    {"DBP", "Driver \"AKA\" First Name", 0, 0},
    {"DBQ", "Driver \"AKA\" Middle Name", 0, 0},
    {"DBR", "Driver \"AKA\" Suffix", 0, 0},
    {"DBS", "Driver \"AKA\" Prefix", 0, 0},
    {"PAA", "Permit Classification Code", 0, 0},
    {"PAB", "Permit Expiration Date", 0, 0},
    {"PAC", "Permit Identifier", 0, 0},
    {"PAD", "Permit Issue Date", 0, 0},
    {"PAE", "Permit Restriction Code", 0, 0},
    {"PAF", "Permit Endorsement Code", 0, 0},
};

template <size_t N>
const Element* find(const Element (&table)[N], const std::string& id) {
  for (const Element& element : table)
    if (id == element.id) return &element;
  return nullptr;
}

}  // namespace

const char* aamvaElementName(const std::string& id, int version) {
  if (version <= 1) {
    const Element* element = find(kElementsVersion1, id);
    return element ? element->name : nullptr;
  }
  const Element* element = find(kElements2020, id);
  if (!element || version < element->firstVersion || version > element->lastVersion) return nullptr;
  return element->name;
}

}  // namespace pdf417read::detail
