// Handles the sound and music commands refuse: 0, a released one, one of
// the other family. Each is error 660 naming the command, and nothing is
// read through it; the program ends on the command's failure value.
#include <gtest/gtest.h>

#include "base/vocabulary.h"
#include "tests/sound/sound_support.h"
#include "tests/support/script.h"

using namespace qrt::test;

namespace {

enum class BadHandle { kZero, kReleased, kOtherFamily };

// `command` called with a bad handle and harmless other arguments.
std::vector<Box> callWithBadHandle(const SoundFolder& dir, const std::string& command, BadHandle bad) {
  const bool music = command.starts_with("M@");
  const std::string wave = dir.write("a.wav", toneWave(0.2));
  Script s;
  const int name = s.text(wave);
  const int sound = s.call("W@LOAD", {name}), tune = s.call("M@LOAD", {name});
  const int gone = s.call(music ? "M@LOAD" : "W@LOAD", {name});
  s.run(music ? "M@RELEASE" : "W@RELEASE", {gone});
  std::vector<int> args;
  switch (bad) {
    case BadHandle::kZero: args.push_back(s.integer(0)); break;
    case BadHandle::kReleased: args.push_back(gone); break;
    case BadHandle::kOtherFamily: args.push_back(music ? sound : tune); break;
  }
  const qrt::CommandInfo& info = qrt::commandInfo(qrt::findCommand(command));
  for (int n = 1; n < info.parameterCount(); ++n)
    args.push_back(info.parameterLetter(n) == 'F' ? s.real(1.0f) : s.integer(1));
  s.run(command, args);
  const int after = s.marker();
  Game game(s);
  game.runToEnd();
  EXPECT_EQ(game.slot(after), 0u) << command << " went on";
  return game.boxes();
}

TEST(SoundHandles, BadHandlesAre660NamingTheCommand) {
  SoundFolder dir("handles");
  const char* commands[] = {"W@PLAY",  "W@RELEASE", "W@STOP",  "W@PAUSE", "W@TEMPO", "W@VOL",  "W@PAN",
                            "M@PLAY",  "M@PAUSE",   "M@STOP",  "M@RELEASE", "M@TEMPO", "M@RTIME", "M@VOL",
                            "M@PAN",   "M@LTIME"};
  for (const char* command : commands) {
    for (BadHandle bad : {BadHandle::kZero, BadHandle::kReleased, BadHandle::kOtherFamily}) {
      SCOPED_TRACE(std::string(command) + " with bad handle " + std::to_string(static_cast<int>(bad)));
      const std::vector<Box> boxes = callWithBadHandle(dir, command, bad);
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].code, 660);
      EXPECT_NE(boxes[0].text.find(command), std::string::npos);
    }
  }
}

}  // namespace
