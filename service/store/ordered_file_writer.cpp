#include "service/store/ordered_file_writer.h"

#include <cerrno>
#include <cstring>

#include "platform/atomic_file.h"

namespace mirvale {

OrderedFileWriter::Snapshot OrderedFileWriter::Take(std::string bytes) { return {++taken_, std::move(bytes)}; }

bool OrderedFileWriter::Write(Snapshot snapshot) {
  std::lock_guard lock(writeMutex_);
  if (snapshot.number <= written_) return false;
  // Device configurations: readable by the service's operators only.
  if (!platform::WriteFileAtomically(path_, snapshot.bytes, 0640, platform::FileGroup::Operators)) {
    notice_.Note(false, std::strerror(errno));
    return false;
  }
  notice_.Note(true);
  written_ = snapshot.number;
  return true;
}

}  // namespace mirvale
