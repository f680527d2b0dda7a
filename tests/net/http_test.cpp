// HTTP fetches against a small server of the test's own on 127.0.0.1.
#include <gtest/gtest.h>

#include "tests/net/loopback.h"
#include "tests/net/net_games.h"

namespace qrt::test {
namespace {

constexpr const char* kAgentLine =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0; .NET CLR 1.0.3705)\r\n";

HttpServer::Response answer(const std::string& path) {
  if (path == "/ten") return {HttpServer::response(200, "0123456789")};
  // A body left unread: the connection stays open until the client lets go.
  if (path == "/held") return {"HTTP/1.0 404 Gone\r\nContent-Length: 1000\r\n\r\n0123456789", true};
  if (path == "/odd") return {"HTTP/1.0 70000 Odd\r\nContent-Length: 0\r\n\r\n"};
  return {HttpServer::response(404, "none")};
}

TEST(Http, BodiesComeInPiecesEveryOpenFetchesAndStatusesComeInsteadOfHandles) {
  HttpServer server(answer);
  const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
  Script s;
  auto open = [&](const std::string& url) { return s.call("P@INETOPEN", {s.text(url)}); };
  auto piece = [&](int h, int most) { return s.callText("P@INETRECV", {h, s.integer(most)}); };
  const int h = open(base + "/ten");
  const int p1 = piece(h, 4);
  const int none = s.call("P@INETRECV", {h, s.integer(0)}), below = s.call("P@INETRECV", {h, s.integer(-3)});
  const int p2 = piece(h, 4), p3 = piece(h, 4), p4 = piece(h, 4);
  const int closed = s.call("P@INETCLOSE", {h});
  const int again = open(base + "/ten");
  const int whole = piece(again, 100);
  s.run("P@INETCLOSE", {again});
  // A maximum no piece needs is not taken as the size to set aside.
  const int asked = open(base + "/ten");
  const int huge = piece(asked, 0x7FFFFFFF);
  s.run("P@INETCLOSE", {asked});
  const int missing = open(base + "/missing"), held = open(base + "/held"), odd = open(base + "/odd");
  const int dead = open("http://127.0.0.1:" + std::to_string(freePort()) + "/");
  s.run("P@INETCLOSE", {h});
  const int reached = s.marker();

  Game game(s);
  game.runToEnd();
  server.stop();
  EXPECT_GT(game.integer(h), 65535);
  EXPECT_EQ(game.text(p1), "0123");
  EXPECT_EQ(integers(game, {none, below}), (std::vector<int32_t>{0, 0}));   // no string at all
  EXPECT_EQ(game.text(p2), "4567");
  EXPECT_EQ(game.text(p3), "89");
  EXPECT_EQ(game.text(p4), "");
  EXPECT_GT(game.integer(again), game.integer(h));
  EXPECT_EQ(game.text(whole), "0123456789");
  EXPECT_EQ(game.text(huge), "0123456789");
  EXPECT_EQ(integers(game, {closed, missing, held, odd, dead, reached}), (std::vector<int32_t>{0, 404, 404, 400, 400, 0}));
  ASSERT_EQ(game.boxCodes(), std::vector<int>{660});
  EXPECT_NE(game.boxes()[0].text.find("P@INETCLOSE"), std::string::npos);
  // Every open of /ten reached the server, with the agent text.
  int fetches = 0;
  for (const std::string& r : server.requests()) {
    EXPECT_NE(r.find(kAgentLine), std::string::npos) << r;
    fetches += r.rfind("GET /ten ", 0) == 0;
  }
  EXPECT_EQ(fetches, 3);
  EXPECT_EQ(server.heldClosed(), 1);
}

}  // namespace
}  // namespace qrt::test
