// What a test sees of a game: the message boxes it showed and how it ended,
// whether it ran in this process or as a game executable.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qrt::test {

struct Box {
  int code = 0;        // the catalogue code its text starts with ("QV0660" -> 660), 0 if none
  std::string title;   // cp932
  std::string text;    // cp932, byte for byte as composed
  int button = 0;      // the button pressed (executables only)
  int closedAfterMs = -1;  // from the answer until the box was gone (executables only)
};

// The catalogue code at the start of a box text, or 0.
inline int boxCode(const std::string& text) {
  size_t at = text.rfind("QVA", 0) == 0 ? 3 : text.rfind("QV", 0) == 0 ? 2 : std::string::npos;
  if (at == std::string::npos || text.size() < at + 4) return 0;
  int code = 0;
  for (size_t i = at; i < at + 4; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    code = code * 10 + (text[i] - '0');
  }
  return code;
}

struct GameResult {
  bool started = true;       // false: the executable could not be started (see error)
  uint32_t exitCode = 0;
  bool timedOut = false;     // ended by the time-out
  std::vector<Box> boxes;    // in the order they appeared
  std::string error;
};

}  // namespace qrt::test
