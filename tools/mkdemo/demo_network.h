// The demo's two-player mode: two copies of the game on 127.0.0.1, one
// started with the word `host`, the other with `join` (optionally followed
// by a port, default kDemoPort), each showing the other's rocket, tinted
// green. Without either word nothing of this runs and the demo plays alone.
//
//   Network n = readRole(m);                      // once, before G@SETUP
//   startNetwork(m, n, player, sheet);            // once, after declarePlayer
//   ...per frame, once the rocket has moved (`now` from SYSTIME):
//   stepNetwork(m, n, player, mirror, now);
//   drawPeer(m, n, screen);                       // before our own rocket
//   drawNetworkStatus(m, n, screen);              // over the panels
//   stretchShot(m, n, pace);                      // on a slow machine
//   ...in screenshot mode, in the native block that decides to end:
//   holdShot(x, n, t, now, notYet);
//   ...and before SYSEXIT:
//   reportNetwork(m, n);
//
// Every P@ command returns at once, so the frame loop never waits: the host
// listens and takes the first player whose handshake is done, the joiner
// connects and tries again every half second while nothing answers. Each
// message is one position (x, y, mirror), and a copy sends its next one
// only once the peer's has arrived, so neither side ever piles up messages
// a slow or stuck peer does not read. When the peer leaves (or the
// connection fails) the copy plays alone and looks for a peer again: the
// host takes the next player, the joiner connects anew.
#pragma once
#include <cstdint>

#include "tools/imagebuilder/image_builder.h"
#include "tools/mkdemo/demo_input.h"

namespace qrt::demo {

constexpr int kDemoPort = 40480;
constexpr const char* kDemoKey = "qrt-demo";

// What the screenshot mode waits for in a two-player copy: this many of
// the peer's positions, or the peer gone, but no longer than this without
// news of the peer (its connection, a position; before the first, since
// the start): on a native machine, and shotLongest holds it stretched by
// the machine's pace. Counting from the last news keeps a pair going on a
// machine where a frame takes seconds, while a copy whose peer never comes
// still ends.
constexpr int kShotPositions = 10;
constexpr int kShotLongestMs = 8000;

struct Network {
  int role;                        // 0 alone, 1 host, 2 join
  int state;                       // 0 alone, 1 waiting, 2 connected, 3 peer gone
  int port, server, user;          // handles 0 when there is none
  int mayPush;                     // 1 once the peer's last position has come
  int retryAt;                     // SYSTIME before which nothing is tried again
  int peerX, peerY, peerMirror;    // the peer rocket's top left and facing
  int received;                    // positions taken from the peer
  int shotLongest;                 // kShotLongestMs, stretched by stretchShot
  int newsAt;                      // SYSTIME of the last news of the peer, 0 before the first
  int peerRocket;                  // surface: the sheet's rocket, tinted
  int word, roleLabel;             // "host"/"join", "host: "/"join: "
  int key, address, zero, one, three, realOne, realZero;   // constants
  int result, count, cx, cy, line, joined, number, file;   // scratch
};

// S@PARAM: the first word and the port after it; S@BACKGROUND 1 for two
// players (an inactive copy must keep stepping, or its peer would wait).
Network readRole(img::Routine& m);

// The peer rocket's surface from `sheet` (a string constant naming the
// sprite sheet) and the two rockets' starting places, left of the middle
// for the host and right of it for the joiner.
void startNetwork(img::Routine& m, const Network& n, const Player& p, int sheet);

// The frame's network step: listening or connecting, then our position out
// and the peer's in.
void stepNetwork(img::Routine& m, const Network& n, const Player& p, int mirror, int now);

void drawPeer(img::Routine& m, const Network& n, int screen);
void drawNetworkStatus(img::Routine& m, const Network& n, int screen);

// The screenshot mode's longest wait times `pace` (a slot: how many times
// slower than a native machine this one runs; below 1 counts as 1).
void stretchShot(img::Routine& m, const Network& n, int pace);

// In native code: jumps to `notYet` while a two-player copy should keep
// going before its screenshot (`t` the milliseconds since the start, `now`
// the frame's SYSTIME).
void holdShot(img::X86& x, const Network& n, int t, int now, img::Label notYet);

// Two players only: demo_peer.txt beside the game, one line
// "<host|join> <positions received> <peer x> <peer y>".
void reportNetwork(img::Routine& m, const Network& n);

}  // namespace qrt::demo
