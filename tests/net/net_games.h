// What the network tests' games share: waiting for a command's result,
// making users, the protocol's example message {1, -2, "ab", ""} (L = 24).
#pragma once
#include <vector>

#include "tests/support/script.h"

namespace qrt::test {

// `into` = the command's result, once a frame until it is nonzero.
void await(Script& s, const char* command, int into, const std::vector<int>& args, int frames = 5000);
// A user connecting to 127.0.0.1:port.
int userMake(Script& s, int port, const char* key);

void pushExample(Script& s, int user);
// The slots of what a game took out of the example message: the counts,
// three integers and three strings (the third of each one too many).
std::vector<int> takeExample(Script& s, int user);
// What it must have taken out.
void expectExample(Game& game, const std::vector<int>& taken);

// The integers in the slots, to compare a group at once.
std::vector<int32_t> integers(Game& game, const std::vector<int>& slots);

}  // namespace qrt::test
