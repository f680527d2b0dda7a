// The protocol's example message, {1, -2, "ab", ""} (L = 24), as a game
// pushes it and takes it apart once P@RECV has returned it.
#pragma once
#include "tests/support/script.h"

namespace qrt::test {

void pushExample(Script& s, int user);

// The slots of what the game took out: the counts, three integers (the
// third one too many), three strings (the third one too many).
struct ExampleTaken {
  int ints, strings, pop1, pop2, pop3, text1, text2, text3;
};
ExampleTaken takeExample(Script& s, int user);
// What a game must have taken out of it.
void expectExample(Game& game, const ExampleTaken& t);

}  // namespace qrt::test
