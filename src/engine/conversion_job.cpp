#include "engine/conversion_job.h"

namespace lumafold {

void ConversionJob::reset() {
  sequenceNumber = 1;
  drawRandomNumber();
}

void ConversionJob::drawRandomNumber() {}

std::uint32_t InputSet::Hash(const std::string&) { return 0; }
bool InputSet::add(const std::string&, const std::string&) { return false; }
bool InputSet::contains(const std::string&) const { return false; }
bool InputSet::remove(const std::string&) { return false; }
void InputSet::clear() {}
std::vector<InputEntry> InputSet::ordered() const { return {}; }

void RunProgress::zero() {}
void RunProgress::pause() {}
void RunProgress::resume() {}
void RunProgress::waitWhilePaused() {}

}  // namespace lumafold
