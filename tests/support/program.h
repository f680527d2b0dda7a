// Running program images in-process through the real host and engine.
//
//   Program p(builder.build());
//   p.runToEnd();
//   EXPECT_EQ(p.text(slot), "hello");
//   EXPECT_TRUE(p.boxes().empty());
//
// Program opens the real main window and family records, attaches a copy of
// the image in executable memory and steps the engine directly, so a test
// can look at the frames and counters between steps and after the end.
// runGame() instead goes through the host's message loop until the window
// closes, as the shipped runtime does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tests/support/box.h"
#include "tests/support/pace.h"

namespace qrt::test {

// Error boxes raised since the last clear, in order (recorded, not shown).
const std::vector<Box>& recordedBoxes();
void clearRecordedBoxes();

class Program {
 public:
  // `file` is header + image, as ImageBuilder::build() returns it.
  explicit Program(const std::vector<uint8_t>& file);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool step();                       // one engine step; false once the program has ended
  int runToEnd(int maxSteps = 1000000);  // steps until the end; returns the number of steps
  bool ended() const { return ended_; }

  EngineState& engine();
  uint32_t* frame();                 // the current frame
  uint32_t slot(int n);              // slot n of the current frame
  std::string text(int n);           // the string in slot n of the current frame
  uint32_t staticSlot(int n);
  std::string staticText(int n);     // the string in static slot n
  const std::vector<Box>& boxes() const { return recordedBoxes(); }
  std::vector<int> boxCodes() const;

 private:
  bool ended_ = false;
};

// Runs the image through the host's message loop until the program ends and
// its window closes (or the timeout passes, which closes it).
// `onBox`, when given, is called for every box after it is recorded, inside
// the step that raised it, as a box's own message loop would run.
GameResult runGame(const std::vector<uint8_t>& file, int timeoutMs = paced(10000), void (*onBox)() = nullptr);

// Installs the box recorder (done by Program and runGame; tests that raise
// errors directly call it too).
void recordBoxes();

}  // namespace qrt::test
