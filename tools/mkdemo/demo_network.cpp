#include "tools/mkdemo/demo_network.h"

namespace qrt::demo {

using namespace img;

namespace {

constexpr int kAlone = 0, kHost = 1, kJoin = 2;
constexpr int kWaiting = 1, kConnected = 2, kGone = 3;
constexpr int kRetryMs = 500;
constexpr int kApart = 80;                // each rocket starts this far from the middle
constexpr int kTint[3] = {110, 255, 130};   // the peer rocket's modulation colour

// Leaves to `target` when the slot compares to `value` as `cond` says
// (EAX is clobbered).
void leaveIf(X86& x, int slot, Cond cond, int32_t value, Label target) {
  Label stay = x.label();
  x.load(EAX, slot);
  x.cmpImm(EAX, value);
  // The inverse condition of `cond` differs from it in the lowest bit.
  x.jcc(static_cast<Cond>(static_cast<uint8_t>(cond) ^ 1), stay);
  x.next(target);
  x.bind(stay);
}

}  // namespace

Network readRole(Routine& m) {
  Network n{};
  for (int* s : {&n.role, &n.state, &n.port, &n.server, &n.user, &n.mayPush, &n.retryAt, &n.peerX, &n.peerY,
                 &n.peerMirror, &n.received, &n.shotLongest, &n.newsAt, &n.peerRocket, &n.word, &n.roleLabel, &n.zero, &n.one, &n.three,
                 &n.realOne, &n.realZero, &n.result, &n.count, &n.cx, &n.cy, &n.line, &n.joined, &n.number,
                 &n.file})
    *s = m.slot();
  n.key = m.constant(kDemoKey);
  n.address = m.constant("127.0.0.1");
  m.native([&](X86& x) {
    for (int s : {n.role, n.state, n.server, n.user, n.mayPush, n.retryAt, n.peerX, n.peerY, n.peerMirror,
                  n.received, n.newsAt, n.zero})
      x.storeImm(s, 0);
    x.storeImm(n.one, 1);
    x.storeImm(n.three, 3);
    x.storeImm(n.shotLongest, kShotLongestMs);
    x.storeImm(n.realOne, realBits(1.0f));
    x.storeImm(n.realZero, realBits(0.0f));
    x.next();
  });

  // "host", "join", "host 5000", "join 5000": the word, then nothing or a
  // blank and the port.
  const int param = m.slot(), rest = m.slot(), head = m.slot();
  const int isHost = m.slot(), isJoin = m.slot(), ends = m.slot(), blank = m.slot();
  const int start = m.slot(), length = m.slot(), most = m.slot();
  m.native([&](X86& x) {
    x.storeImm(start, 1);
    x.storeImm(length, 4);
    x.storeImm(most, 200);
    x.next();
  });
  m.command("S@PARAM", n.result);
  m.store(param, n.result);
  m.command("MID", n.result, {param, start, length});
  m.store(n.word, n.result);
  m.native([&](X86& x) {
    x.storeImm(start, 5);
    x.next();
  });
  m.command("MID", n.result, {param, start, most});
  m.store(rest, n.result);
  m.native([&](X86& x) {
    x.storeImm(start, 1);
    x.next();
  });
  m.command("MID", n.result, {rest, start, n.one});
  m.store(head, n.result);
  m.compare(Equal, n.word, m.constant("host"), isHost);
  m.compare(Equal, n.word, m.constant("join"), isJoin);
  m.compare(Equal, rest, m.constant(""), ends);
  m.compare(Equal, head, m.constant(" "), blank);

  Label alone = m.label(), host = m.label(), join = m.label();
  m.native([&](X86& x) {
    Label word = x.label();
    x.load(EAX, ends);
    x.load(ECX, blank);
    x.or_(EAX, ECX);
    x.cmpImm(EAX, 0);
    x.jcc(Cond::NE, word);
    x.next(alone);
    x.bind(word);
    leaveIf(x, isHost, Cond::NE, 0, host);
    leaveIf(x, isJoin, Cond::NE, 0, join);
    x.next(alone);
  });
  m.bind(host);
  m.native([&](X86& x) {
    x.storeImm(n.role, kHost);
    x.next();
  });
  m.store(n.roleLabel, m.constant("host: "));
  Label twoPlayers = m.label();
  m.native([&](X86& x) { x.next(twoPlayers); });
  m.bind(join);
  m.native([&](X86& x) {
    x.storeImm(n.role, kJoin);
    x.next();
  });
  m.store(n.roleLabel, m.constant("join: "));

  m.bind(twoPlayers);
  m.command("ATOI", n.port, {rest});
  m.native([&](X86& x) {
    // P@SRVMAKE and P@USERMAKE take ports 2 to 65534.
    Label fine = x.label(), fallBack = x.label();
    x.load(EAX, n.port);
    x.cmpImm(EAX, 2);
    x.jcc(Cond::L, fallBack);
    x.cmpImm(EAX, 65534);
    x.jcc(Cond::LE, fine);
    x.bind(fallBack);
    x.storeImm(n.port, kDemoPort);
    x.bind(fine);
    x.storeImm(n.state, kWaiting);
    x.next();
  });
  m.command("S@BACKGROUND", 0, {n.one});
  m.bind(alone);
  return n;
}

void startNetwork(Routine& m, const Network& n, const Player& p, int sheet) {
  Label alone = m.label();
  m.native([&](X86& x) {
    Label host = x.label();
    leaveIf(x, n.role, Cond::E, kAlone, alone);
    x.load(EAX, p.x);
    x.load(ECX, n.role);
    x.cmpImm(ECX, kHost);
    x.jcc(Cond::E, host);
    x.addImm(EAX, 2 * kApart);
    x.bind(host);
    x.subImm(EAX, kApart);
    x.store(p.x, EAX);
    x.storeImm(n.cx, 96);
    x.storeImm(n.cy, 127);
    x.storeImm(n.count, 31);
    x.next();
  });
  m.command("G@CHRLOAD", n.peerRocket, {sheet, 0});
  m.command("G@CHRRECT", 0, {n.peerRocket, n.cx, n.zero, n.cy, n.count});
  m.native([&](X86& x) {
    x.storeImm(n.cx, kTint[0]);
    x.storeImm(n.cy, kTint[1]);
    x.storeImm(n.count, kTint[2]);
    x.storeImm(n.result, 255);
    x.next();
  });
  m.command("G@CHRCOLORA", 0, {n.peerRocket, n.cx, n.cy, n.count, n.result});
  m.bind(alone);
}

void stepNetwork(Routine& m, const Network& n, const Player& p, int mirror, int now) {
  Label done = m.label(), exchange = m.label(), lost = m.label(), joiner = m.label();
  Label accept = m.label(), state = m.label(), later = m.label();
  auto retryLater = [&](X86& x) {
    x.load(EAX, now);
    x.addImm(EAX, kRetryMs);
    x.store(n.retryAt, EAX);
  };
  // Nothing is tried again before retryAt.
  auto waitForRetry = [&](X86& x) {
    Label time = x.label();
    x.load(EAX, now);
    x.cmpSlot(EAX, n.retryAt);
    x.jcc(Cond::GE, time);
    x.next(done);
    x.bind(time);
  };
  // After a P@SRVMAKE or P@USERMAKE: on with a handle, or try again later.
  auto goOnIfMade = [&](int handle) {
    m.native([&](X86& x) {
      Label made = x.label();
      x.load(EAX, handle);
      x.cmpImm(EAX, 0);
      x.jcc(Cond::NE, made);
      retryLater(x);
      x.next(done);
      x.bind(made);
      x.next();
    });
  };
  m.native([&](X86& x) {
    leaveIf(x, n.role, Cond::E, kAlone, done);
    leaveIf(x, n.state, Cond::E, kConnected, exchange);
    leaveIf(x, n.role, Cond::E, kJoin, joiner);
    leaveIf(x, n.server, Cond::NE, 0, accept);
    waitForRetry(x);
    x.next();
  });

  // The host: a server once the port can be had, then the first player
  // whose handshake is done.
  m.command("P@SRVMAKE", n.server, {n.port, n.key, n.zero});
  goOnIfMade(n.server);
  m.bind(accept);
  m.command("P@SRVGETUSER", n.result, {n.server});
  m.native([&](X86& x) {
    Label failed = x.label();
    leaveIf(x, n.result, Cond::E, 0, done);
    x.load(EAX, n.result);
    x.cmpImm(EAX, -1);
    x.jcc(Cond::E, failed);
    x.store(n.user, EAX);
    x.storeImm(n.state, kConnected);
    x.storeImm(n.mayPush, 1);
    x.load(EAX, now);
    x.store(n.newsAt, EAX);
    x.next(exchange);
    // Accepting has failed for good: a new server later.
    x.bind(failed);
    x.next();
  });
  m.command("P@CLOSE", 0, {n.server});
  m.native([&](X86& x) {
    x.storeImm(n.server, 0);
    retryLater(x);
    x.next(done);
  });

  // The joiner: a user connecting, until its handshake is done or it fails.
  m.bind(joiner);
  m.native([&](X86& x) {
    leaveIf(x, n.user, Cond::NE, 0, state);
    waitForRetry(x);
    x.next();
  });
  m.command("P@USERMAKE", n.user, {n.address, n.port, n.key, n.zero});
  goOnIfMade(n.user);
  m.bind(state);
  m.command("P@USERGETSTATE", n.result, {n.user});
  m.native([&](X86& x) {
    leaveIf(x, n.result, Cond::E, 0, done);
    leaveIf(x, n.result, Cond::NE, 1, later);
    x.storeImm(n.state, kConnected);
    x.storeImm(n.mayPush, 1);
    x.load(EAX, now);
    x.store(n.newsAt, EAX);
    x.next(exchange);
  });
  m.bind(later);   // refused, a wrong key, or no answer in time
  m.command("P@CLOSE", 0, {n.user});
  m.native([&](X86& x) {
    x.storeImm(n.user, 0);
    retryLater(x);
    x.next(done);
  });

  // Connected: the peer's position in, then ours out once the peer has
  // answered the last one (in the frame its answer came).
  Label send = m.label();
  m.bind(exchange);
  m.command("P@RECV", n.result, {n.user});
  m.native([&](X86& x) {
    leaveIf(x, n.result, Cond::L, 0, lost);
    leaveIf(x, n.result, Cond::E, 0, send);
    x.next();
  });
  // A message holds one position; should several ever come as one, the
  // last counts.
  Label answered = m.label();
  m.command("P@RECVINT", n.count, {n.user});
  m.native([&](X86& x) {
    leaveIf(x, n.count, Cond::L, 3, answered);
    x.next();
  });
  Label pop = m.here();
  m.command("P@POPINT", n.peerX, {n.user});
  m.command("P@POPINT", n.peerY, {n.user});
  m.command("P@POPINT", n.peerMirror, {n.user});
  m.native([&](X86& x) {
    x.load(EAX, n.received);
    x.inc(EAX);
    x.store(n.received, EAX);
    x.load(EAX, now);
    x.store(n.newsAt, EAX);
    x.load(EAX, n.count);
    x.subImm(EAX, 3);
    x.store(n.count, EAX);
    x.cmpImm(EAX, 3);
    Label last = x.label();
    x.jcc(Cond::L, last);
    x.next(pop);
    x.bind(last);
    x.next();
  });
  m.bind(answered);
  m.native([&](X86& x) {
    x.storeImm(n.mayPush, 1);
    x.next();
  });
  m.bind(send);
  m.native([&](X86& x) {
    leaveIf(x, n.mayPush, Cond::E, 0, done);
    x.next();
  });
  m.command("P@PUSHINT", n.result, {n.user, p.x});
  m.command("P@PUSHINT", n.result, {n.user, p.y});
  m.command("P@PUSHINT", n.result, {n.user, mirror});
  m.command("P@SEND", n.result, {n.user});
  m.native([&](X86& x) {
    leaveIf(x, n.result, Cond::L, 0, lost);
    x.storeImm(n.mayPush, 0);
    x.next(done);
  });

  // The peer has gone: alone again, waiting for the next one.
  m.bind(lost);
  m.command("P@CLOSE", 0, {n.user});
  m.native([&](X86& x) {
    x.storeImm(n.user, 0);
    x.storeImm(n.state, kGone);
    retryLater(x);
    x.next();
  });
  m.bind(done);
}

void drawPeer(Routine& m, const Network& n, int screen) {
  Label none = m.label();
  m.native([&](X86& x) {
    leaveIf(x, n.state, Cond::NE, kConnected, none);
    leaveIf(x, n.received, Cond::E, 0, none);
    x.load(EAX, n.peerX);
    x.addImm(EAX, 16);
    x.store(n.cx, EAX);
    x.load(EAX, n.peerY);
    x.addImm(EAX, 16);
    x.store(n.cy, EAX);
    x.next();
  });
  m.command("G@CHRCOPYC", 0, {n.peerRocket, screen, n.cx, n.cy, n.peerMirror, n.realOne, n.realZero});
  m.bind(none);
}

void drawNetworkStatus(Routine& m, const Network& n, int screen) {
  Label none = m.label(), waiting = m.label(), connected = m.label(), print = m.label();
  m.native([&](X86& x) {
    leaveIf(x, n.role, Cond::E, kAlone, none);
    leaveIf(x, n.state, Cond::E, kWaiting, waiting);
    leaveIf(x, n.state, Cond::E, kConnected, connected);
    x.next();
  });
  m.join(n.roleLabel, m.constant("peer gone"), n.line);
  m.native([&](X86& x) { x.next(print); });
  m.bind(waiting);
  m.join(n.roleLabel, m.constant("waiting"), n.line);
  m.native([&](X86& x) { x.next(print); });
  m.bind(connected);
  m.join(n.roleLabel, m.constant("connected"), n.line);
  m.bind(print);
  m.native([&](X86& x) {
    x.storeImm(n.cx, 460);
    x.storeImm(n.cy, 84);
    x.next();
  });
  m.command("G@PRINT", 0, {screen, n.cx, n.cy, n.line});
  m.bind(none);
}

void stretchShot(Routine& m, const Network& n, int pace) {
  m.native([&](X86& x) {
    Label low = x.label(), high = x.label(), set = x.label();
    x.load(EAX, pace);
    x.cmpImm(EAX, 1);
    x.jcc(Cond::L, low);
    x.cmpImm(EAX, 1000);
    x.jcc(Cond::G, high);
    x.jmp(set);
    x.bind(low);
    x.movImm(EAX, 1);
    x.jmp(set);
    x.bind(high);
    x.movImm(EAX, 1000);
    x.bind(set);
    x.imulImm(EAX, kShotLongestMs);
    x.store(n.shotLongest, EAX);
    x.next();
  });
}

void holdShot(X86& x, const Network& n, int t, int now, Label notYet) {
  Label ready = x.label(), silence = x.label();
  x.load(EAX, n.role);
  x.cmpImm(EAX, kAlone);
  x.jcc(Cond::E, ready);
  // How long without news: since the last, or since the start.
  x.load(EAX, t);
  x.load(ECX, n.newsAt);
  x.cmpImm(ECX, 0);
  x.jcc(Cond::E, silence);
  x.load(EAX, now);
  x.sub(EAX, ECX);
  x.bind(silence);
  x.cmpSlot(EAX, n.shotLongest);
  x.jcc(Cond::GE, ready);
  x.load(EAX, n.state);
  x.cmpImm(EAX, kGone);
  x.jcc(Cond::E, ready);
  x.load(EAX, n.received);
  x.cmpImm(EAX, kShotPositions);
  x.jcc(Cond::L, notYet);
  x.bind(ready);
}

void reportNetwork(Routine& m, const Network& n) {
  Label none = m.label();
  m.native([&](X86& x) {
    leaveIf(x, n.role, Cond::E, kAlone, none);
    x.next();
  });
  const int blank = m.constant(" ");
  m.store(n.line, n.word);
  for (int value : {n.received, n.peerX, n.peerY}) {
    m.join(n.line, blank, n.joined);
    m.command("STR", n.number, {value, n.zero});
    m.join(n.joined, n.number, n.line);
  }
  const int name = m.constant("demo_peer.txt");
  m.command("F@DELETE", n.result, {name});
  m.command("F@OPEN", n.file, {name, n.three, n.zero});
  m.command("F@WRITES", 0, {n.file, n.line});
  m.command("F@CLOSE", 0, {n.file});
  m.bind(none);
}

}  // namespace qrt::demo
