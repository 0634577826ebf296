#pragma once
// Names in folders that other accounts may write (the data folder is shared by the operators'
// group) must not be foreseeable, or a member could make files at them first and keep another
// account from ever using one.
#include <optional>
#include <string>

namespace platform {

// 16 hexadecimal digits from the system's random source; nullopt when it fails.
std::optional<std::string> UnforeseeableSuffix();

}  // namespace platform
