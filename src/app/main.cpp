#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "app/startup.h"

namespace {

// Started with a standard descriptor closed (lumafold ... >&-), the first
// file the program opens would take that number, and console text would
// land in it: in the instance guard's lock file, a settings file or an
// output picture. /dev/null takes each closed one first.
void OpenClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    // open() returns the lowest free number, which is this one; anything
    // else means the descriptor was filled meanwhile and the copy is spare.
    if (opened > 2) ::close(opened);
  }
}

}  // namespace

int main(int argc, char** argv) {
  OpenClosedStandardDescriptors();
  // Under a file-size limit (ulimit -f) a write past it would kill the whole
  // batch with SIGXFSZ, half-way through a file and before the temporary
  // output and the run folder are cleaned up. Ignored, the write fails with
  // EFBIG instead: that one file fails and the batch goes on.
  std::signal(SIGXFSZ, SIG_IGN);
  // Likewise a console that goes away (lumafold -d ... | head) must not end
  // the batch between the writing of a file and its clean-up; the lines
  // that cannot be printed are lost, the conversions are not.
  std::signal(SIGPIPE, SIG_IGN);
  return lumafold::RunLumafold(argc, argv);
}
