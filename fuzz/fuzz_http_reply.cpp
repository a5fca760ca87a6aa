// What the update check makes of a server's reply: the header end, the body
// up to a second blank line, the first three characters, the version number
// and the verdict. The reply is cut to the client's receive buffer as the
// real fetch cuts it.
//
// Input: the raw reply; after a NUL, an update address to split (the
// LUMAFOLD_UPDATE_URL override is outside data too).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/http_fetch.h"
#include "net/update_check.h"

using namespace lumafold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  // The receive buffer holds kHttpBufferSize bytes and is read up to its
  // first zero byte, so a NUL ends the reply.
  const std::string reply(input.substr(0, std::min<std::size_t>(nul, kHttpBufferSize)));

  const std::string head = ExtractReplyHead(reply);
  FUZZ_CHECK(head.size() <= 3);
  FUZZ_CHECK(head.empty() || head.front() != ' ');
  FUZZ_CHECK(head.empty() || reply.find("\r\n\r\n") != std::string::npos);
  const int version = ReadVersionNumber(head);
  FUZZ_CHECK(version >= 0 && version <= 999);
  const UpdateVerdict verdict = JudgeUpdate(head, kCurrentVersionNumber);
  FUZZ_CHECK((verdict == UpdateVerdict::ConnectionProblem) == (version == 0));
  FUZZ_CHECK((verdict == UpdateVerdict::NewVersion) == (version > kCurrentVersionNumber));

  if (nul != std::string_view::npos) {
    const std::string url(input.substr(nul + 1));
    const HttpUrl parts = SplitHttpUrl(url);
    const std::string request = BuildHttpRequest(parts, {});
    FUZZ_CHECK(request.starts_with("GET /"));
    (void)ProgramPageUrl(url);
  }
  return 0;
}
