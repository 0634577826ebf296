#pragma once
// One network or device of a pool, read once from its address and mask. A network is masked
// to its network number first ("10.0.0.77" / "255.255.255.0" is 10.0.0.0/24), so what a scan
// lists and what the prune keeps are the same addresses.
#include <cstdint>
#include <string>
#include <string_view>

namespace mirvale {

// Whether the text is a dotted mask whose one-bits are a single run from the top
// ("255.255.255.0"); "255.0.255.0" is not, nor is a text that is not a dotted address.
bool IsContiguousMask(std::string_view mask);

class PoolNetwork {
 public:
  // A pool entry: the mask exactly "255.255.255.255" makes it one device, whose address text
  // may be a host name; any other mask a network. A mask that is not a dotted address, or
  // whose one-bits are not one run, makes an entry that lists and contains nothing.
  static PoolNetwork FromEntry(std::string_view address, std::string_view mask);

  bool IsSingleDevice() const { return single_; }
  uint32_t NetworkNumber() const { return network_; }
  uint32_t Mask() const { return mask_; }

  // How many host addresses it lists: 1 for a device; for a network every address between the
  // network number and the broadcast address, both excluded (none for /31 and /32 networks).
  uint64_t HostCount() const;
  // Host address number index (0 .. HostCount() - 1), in ascending order; a device gives its
  // address text as it stands.
  std::string HostAddress(uint64_t index) const;

  // Whether the address (dotted, or a host name, which compares as 255.255.255.255) lies in
  // the network, network number and broadcast address included, or is the device.
  bool Contains(std::string_view address) const;
  bool Contains(uint32_t address) const;
  // Whether a prune must keep the address: what Contains says, and for a mask whose bits are
  // not one run every address that agrees with the entry in the mask's one-bits, since
  // nobody can tell which of those was meant.
  bool MayCover(std::string_view address) const;
  // A mask whose one-bits are not one run: the entry is skipped by scans and prunes.
  bool HasScatteredMask() const { return scattered_; }

 private:
  std::string device_;  // a single device's address text
  bool single_ = false;
  bool usable_ = false;
  bool scattered_ = false;
  uint32_t network_ = 0;
  uint32_t mask_ = 0;
  uint32_t hostBits_ = 0;  // the mask's trailing zero bits
};

}  // namespace mirvale
