// The run-time and load message catalogues and the fixed texts of boxes.
#pragma once
#include <cstdint>

namespace qrt {

struct CatalogueRow {
  int32_t code;
  const char* text;   // cp932; ends the table when code is 0
};

extern const CatalogueRow kRuntimeCatalogue[];
extern const CatalogueRow kLoadCatalogue[];
extern const char kErrorTitle[];
extern const char kWindowClassName[];
extern const char kLineLabel[];   // "\n\n行番号  "
extern const char kFileLabel[];   // "\n\nﾌｧｲﾙ名  "

}  // namespace qrt
