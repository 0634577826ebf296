#pragma once
// What the Home pane's review links ask of the Scan pane (which lives in desktop/pools): show
// only the devices of one group. 1 changed, 2 unchanged, 3 unreachable, 4 failed/unresponding.
namespace mirvale {

class ScanStatusFilter {
 public:
  virtual ~ScanStatusFilter() = default;
  virtual void SetStatusFilter(int filter) = 0;
};

}  // namespace mirvale
