#include "net/http_fetch.h"

#include <gtest/gtest.h>

#include "loopback_server.h"

namespace lumafold {
namespace {

using test::LoopbackServer;

std::string Reply(const std::string& body, const std::string& status = "200 OK") {
  return "HTTP/1.0 " + status + "\r\nContent-Type: text/plain\r\n\r\n" + body;
}

TEST(HttpUrlTest, SplitsHostPortAndPath) {
  HttpUrl a = SplitHttpUrl("http://127.0.0.1:8099/files/lumafold.dat");
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_EQ(a.port, "8099");
  EXPECT_EQ(a.path, "files/lumafold.dat");

  HttpUrl b = SplitHttpUrl("http://www.example.org/files/lumafold.dat");
  EXPECT_EQ(b.host, "www.example.org");
  EXPECT_EQ(b.port, "80");

  HttpUrl c = SplitHttpUrl("example.org");
  EXPECT_EQ(c.host, "example.org");
  EXPECT_EQ(c.path, "");
  EXPECT_EQ(BuildHttpRequest(c, "A").substr(0, 16), "GET / HTTP/1.0\r\n");
}

TEST(HttpReplyTest, HeadIsTrimmedFirstThreeCharactersOfTheBody) {
  EXPECT_EQ(ExtractReplyHead(Reply("261")), "261");
  EXPECT_EQ(ExtractReplyHead(Reply("  0261")), "026");
  EXPECT_EQ(ExtractReplyHead(Reply("2.7\r\n")), "2.7");
  EXPECT_EQ(ExtractReplyHead(Reply("")), "");
  // Only the part up to a second blank line counts.
  EXPECT_EQ(ExtractReplyHead(Reply(" 9\r\n\r\n270")), "9");
  // No header end at all.
  EXPECT_EQ(ExtractReplyHead("HTTP/1.0 200 OK\r\n261"), "");
  // A zero byte ends the text.
  std::string withZero = Reply("2");
  withZero.push_back('\0');
  withZero += "61";
  EXPECT_EQ(ExtractReplyHead(withZero), "2");
}

TEST(HttpReplyTest, OnlyStatus200GivesABody) {
  EXPECT_EQ(ExtractReplyHead(Reply("999", "500 Internal Server Error")), "");
  EXPECT_EQ(ExtractReplyHead(Reply("261", "301 Moved Permanently")), "");
  EXPECT_EQ(ExtractReplyHead(Reply("261", "200")), "261");
  EXPECT_EQ(ExtractReplyHead("HTTP/1.1 200 OK\r\n\r\n261"), "261");
  EXPECT_EQ(ExtractReplyHead("HTTP/1.0 2001\r\n\r\n261"), "");
  EXPECT_EQ(ExtractReplyHead("ICY 200 OK\r\n\r\n261"), "");
  EXPECT_EQ(ExtractReplyHead("HTTP/1.0\r\n200 OK\r\n\r\n261"), "");
}

TEST(HttpFetchTest, SendsExactlyTheDescribedRequest) {
  LoopbackServer server({{Reply("261")}});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpFetch(server.url(), "Quorvane Lumafold 2.6"), "261");
  EXPECT_EQ(server.request(),
            "GET /files/lumafold.dat HTTP/1.0\r\n"
            "Host: 127.0.0.1\r\n"
            "Accept: */*\r\n"
            "User-Agent: Quorvane Lumafold 2.6\r\n"
            "Connection: close\r\n\r\n");
}

TEST(HttpFetchTest, EmptyAgentSendsTheBuiltInAgent) {
  LoopbackServer server({{Reply("1")}});
  ASSERT_TRUE(server.ok());
  HttpFetch(server.url(), "");
  EXPECT_NE(server.request().find(std::string("\r\nUser-Agent: ") + kDefaultHttpAgent + "\r\n"),
            std::string::npos);
}

TEST(HttpFetchTest, ReplyInSeveralSegmentsIsJoined) {
  // The header and the body arrive separately; the second read must not
  // land on top of the first.
  LoopbackServer server({{"HTTP/1.0 200 OK\r\n", "Server: t\r\n\r\n", "  270"}, 60});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpFetch(server.url(), "x"), "270");
}

TEST(HttpFetchTest, AnErrorReplyGivesNothingWhateverItsBody) {
  LoopbackServer server({{Reply("261", "404 Not Found")}});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpFetch(server.url(), "x"), "");
}

TEST(HttpFetchTest, ReplyLongerThanTheBufferIsCut) {
  // The header alone fills the 2048 bytes, so the header end is never seen.
  std::string header = "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(3000, 'a') + "\r\n\r\n261";
  LoopbackServer server({{header}});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpFetch(server.url(), "x"), "");

  std::string fits = "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(1990, 'a') + "\r\n\r\n261";
  ASSERT_LT(fits.size(), static_cast<std::size_t>(kHttpBufferSize));
  LoopbackServer second({{fits + std::string(4000, ' ')}});
  ASSERT_TRUE(second.ok());
  EXPECT_EQ(HttpFetch(second.url(), "x"), "261");
}

TEST(HttpFetchTest, FailuresGiveTheEmptyText) {
  EXPECT_EQ(HttpFetch("http://127.0.0.1:" + std::to_string(LoopbackServer::ClosedPort()) +
                          "/files/lumafold.dat",
                      "x"),
            "");
  EXPECT_EQ(HttpFetch("http:///files/lumafold.dat", "x"), "");

  // Connection closed without any byte.
  LoopbackServer closes(LoopbackServer::Script{});
  ASSERT_TRUE(closes.ok());
  EXPECT_EQ(HttpFetch(closes.url(), "x"), "");
}

}  // namespace
}  // namespace lumafold
