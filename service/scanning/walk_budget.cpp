#include "service/scanning/walk_budget.h"

#include <algorithm>
#include <charconv>

#include "platform/folders.h"

namespace mirvale {

WalkBudget::WalkBudget() : time_(platform::ShortenedSeconds("MIRVALE_DEVICE_WALK_SECONDS", kMaxWalkTimePerDevice)) {}

bool WalkBudget::MayStep() {
  if (end_ != WalkEnd::None) return false;
  if (!started_) {
    started_ = true;
    deadline_ = Clock::now() + time_;
  }
  if (valuesLeft_ == 0)
    EndFor(WalkEnd::Values);
  else if (bytesLeft_ == 0)
    EndFor(WalkEnd::Bytes);
  else if (OutOfTime())
    EndFor(WalkEnd::Time);
  return end_ == WalkEnd::None;
}

void WalkBudget::Spend(size_t bytes) {
  --valuesLeft_;
  bytesLeft_ -= std::min(bytes, bytesLeft_);
}

void WalkBudget::NoteFailedStep(bool stopRequested, bool serviceStopping) {
  if (serviceStopping)
    EndFor(WalkEnd::ServiceStop);
  else if (stopRequested)
    EndFor(WalkEnd::StopRequest);
  else if (OutOfTime())
    EndFor(WalkEnd::Time);
}

void WalkBudget::EndFor(WalkEnd reason) {
  if (end_ == WalkEnd::None) end_ = reason;
}

std::string WalkBudget::EndText() const {
  switch (end_) {
    case WalkEnd::None: return "";
    case WalkEnd::Values: return "after " + std::to_string(kMaxWalkValuesPerDevice) + " values";
    case WalkEnd::Bytes: return "after " + std::to_string(kMaxWalkBytesPerDevice >> 20) + " MiB of values";
    case WalkEnd::Time: return "after " + std::to_string(time_.count()) + " seconds";
    case WalkEnd::StopRequest: return "by a stop request";
    case WalkEnd::ServiceStop: return "as the service stops";
  }
  return "";
}

}  // namespace mirvale
