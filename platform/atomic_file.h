#pragma once
// Files that another process may read at any moment are replaced whole: the new content goes to
// a temporary file in the same folder, is flushed to disk, then renamed over the target.
#include <optional>
#include <string>
#include <string_view>

#include <sys/stat.h>

namespace platform {

// Whose group a new file gets: the writer's, or the service's operators' (when that group
// exists; see operator_group.h).
enum class FileGroup { Owner, Operators };

// Writes content to path atomically with the given permission bits. False (and the old file
// untouched) on any failure, with errno telling why.
bool WriteFileAtomically(const std::string& path, std::string_view content, unsigned mode = 0644,
                         FileGroup group = FileGroup::Owner);

// The first step of WriteFileAtomically: content flushed to a new temporary file beside path
// ("<path>.tmp-" and six characters), whose name is returned for the caller to rename; written
// (when given) describes it. nullopt, with errno, on failure (nothing is left then).
std::optional<std::string> WriteTemporaryBeside(const std::string& path, std::string_view content, unsigned mode,
                                                FileGroup group, struct stat* written = nullptr);

// Reads a whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Appends text to a file, creating it with the given mode; false on failure.
bool AppendToFile(const std::string& path, std::string_view text, unsigned mode = 0644);

// Writes all of data to an open file, going on after interrupted and short writes; false when a
// write fails (errno tells why).
bool WriteAll(int fd, std::string_view data);

// Gives an open file to the group; a failure leaves the writer's group.
void SetFileGroup(int fd, FileGroup group);

bool FileExists(const std::string& path);

}  // namespace platform
