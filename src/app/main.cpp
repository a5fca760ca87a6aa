#include <csignal>

#include "app/startup.h"

int main(int argc, char** argv) {
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
