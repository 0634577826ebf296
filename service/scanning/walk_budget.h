#pragma once
// What one device scan may spend on its SNMP walks, over all of them together: values, bytes
// and time. A device that answers for ever, slowly or with large values, ends at whichever
// runs out first, and a stop request (code 137, or the service stopping) ends it at its next
// step. The first reason a walk ended early is kept, to be told once.
#include <chrono>
#include <cstddef>
#include <string>

namespace mirvale {

// The full tree of a large chassis switch (thousands of interfaces with every column of their
// tables, its address, ARP and forwarding tables) is well below each bound.
inline constexpr long kMaxWalkValuesPerDevice = 100000;
// Identifiers and value texts together: 168 bytes for each of the values above, where typical
// ones take 40 to 80; an agent with 60 kB values stops after about 280 of them.
inline constexpr size_t kMaxWalkBytesPerDevice = 16u << 20;
// Such a switch's walk, even at the 100,000 values, takes 83 minutes when each answer comes 50 ms
// late (a busy supervisor); an agent answering each step a second late stops after 7,200 values
// instead of holding the scan for a day.
inline constexpr std::chrono::seconds kMaxWalkTimePerDevice{7200};

enum class WalkEnd { None, Values, Bytes, Time, StopRequest, ServiceStop };

class WalkBudget {
 public:
  using Clock = std::chrono::steady_clock;

  // The time starts with the first step. MIRVALE_DEVICE_WALK_SECONDS shortens it for tests.
  WalkBudget();

  // Before a step: false once a bound is spent (and the reason is kept).
  bool MayStep();
  // After an answered step of the given identifier and value bytes.
  void Spend(size_t bytes);
  // The time left has run out (checked while a step waits for its answer).
  bool OutOfTime() const { return started_ && Clock::now() >= deadline_; }
  // A step not made or not answered: the walk ended early when a stop was asked or the time ran
  // out; otherwise it simply ended.
  void NoteFailedStep(bool stopRequested, bool serviceStopping);

  WalkEnd End() const { return end_; }
  // "after 100000 values", "by a stop request", ...; empty while no walk ended early.
  std::string EndText() const;

 private:
  void EndFor(WalkEnd reason);

  std::chrono::seconds time_;
  bool started_ = false;
  Clock::time_point deadline_{};
  long valuesLeft_ = kMaxWalkValuesPerDevice;
  size_t bytesLeft_ = kMaxWalkBytesPerDevice;
  WalkEnd end_ = WalkEnd::None;
};

}  // namespace mirvale
