// How a console batch ends: the conversion on its worker thread, then the
// summary lines and the exit status, or the stop line after a signal.
#include "cli/batch.h"

#include <mutex>

#include "cli/batch_run.h"
#include "engine/run/conversion_worker.h"

namespace lumafold::batch {

int Batch::Stopped() {
  const StringCatalog& catalog = context_.catalog;
  console_.Line(catalog.text("Msg", "Conversion is not complete"));
  return ExitStatusForSignal(signals_.stopSignal());
}

int Batch::Convert(int added) {
  const bool showProgress = !quiet_ && console_.ProgressShown();
  RunOnWorkerThread(context_, console_, showProgress, [&] { ConversionWorker(context_); });
  int converted = 0;
  int damaged = 0;
  {
    std::lock_guard<std::mutex> hold(context_.progress.lock);
    converted = context_.progress.convertedCount + skipped_;
    damaged = context_.progress.damagedCount;
  }
  const StringCatalog& catalog = context_.catalog;
  if (signals_.stopSignal() != 0) {
    // Stopped after the files in hand: say so, and how far it came.
    const int status = Stopped();
    Status(catalog.Formatted("Msg", "Files converted", {Number(converted), Number(added)}));
    return status;
  }
  if (converted > 0) {
    Status(catalog.text("Msg", "Conversion complete"));
    Status(catalog.Formatted("Msg", "Files converted", {Number(converted), Number(added)}));
  } else {
    console_.Line(catalog.text("Msg", "Conversion is not complete"));
  }
  if (converted == 0) return kExitFailed;
  // A file converted from rows rebuilt or a lower level is one to look at,
  // as a failed one is.
  return converted < added || inputFailures_ > 0 || damaged > 0 ? kExitSomeFailed
                                                                 : kExitAllConverted;
}

}  // namespace lumafold::batch
