// What the checker reports: a position in the image and what is wrong there.
#pragma once
#include <cstdint>
#include <string>

namespace qrt::imgtools {

struct Finding {
  enum class Severity { Fault, Note };
  uint32_t at = 0;        // image offset
  Severity severity = Severity::Fault;
  int routine = -1;       // the routine whose frame runs there, or -1
  std::string text;

  bool operator<(const Finding& o) const {
    if (at != o.at) return at < o.at;
    if (severity != o.severity) return severity < o.severity;
    return text < o.text;
  }
  bool operator==(const Finding& o) const { return at == o.at && severity == o.severity && text == o.text; }
};

}  // namespace qrt::imgtools
