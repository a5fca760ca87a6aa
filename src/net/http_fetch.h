// A minimal HTTP/1.0 GET over a plain TCP socket, just enough to read the
// few bytes of the update information file. No TLS, no redirects, no
// chunked bodies: the server is ours and answers with a tiny text.
#pragma once

#include <string>
#include <string_view>

namespace lumafold {

// The agent used when the caller passes an empty one.
inline constexpr const char* kDefaultHttpAgent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; en)";

// Size of the one receive buffer; a reply longer than this is cut.
inline constexpr int kHttpBufferSize = 2048;
// How long to wait for the reply after the request went out.
inline constexpr int kHttpReplyTimeoutMs = 10000;
// Pause between two looks at the socket while no data has come.
inline constexpr int kHttpPollIntervalMs = 20;

struct HttpUrl {
  std::string host;
  std::string path;  // without its leading "/"
  std::string port = "80";
};

// "http://host:port/a/b" -> {host, "a/b", port}. The scheme is optional;
// the port is 80 unless named.
HttpUrl SplitHttpUrl(const std::string& url);

// The request exactly as sent: GET line, Host (never with a port), Accept,
// User-Agent, Connection, blank line.
std::string BuildHttpRequest(const HttpUrl& url, const std::string& agent);

// Whether the reply's status line says 200 (any HTTP/1.x version).
bool IsOkStatusLine(std::string_view reply);

// Only for a reply whose status line says 200: the part after the header end, up to a second blank
// line if any, with spaces removed at both ends, cut to its first three characters. Empty when the
// reply has no header end or another status.
std::string ExtractReplyHead(const std::string& reply);

// Fetches url and returns ExtractReplyHead of what the server sent (at
// most kHttpBufferSize bytes). Empty on every failure: bad host, refused
// connection, no data within kHttpReplyTimeoutMs, no header end.
std::string HttpFetch(const std::string& url, const std::string& agent);

}  // namespace lumafold
