#pragma once
// A `systemctl` that records its arguments, one call per line, in place of systemd: a folder put
// first on PATH, and a systemd marker folder that says systemd runs the machine. Refuse(verb, text)
// makes that verb fail with the text on standard error and an exit status (Allow lifts it);
// Slow(verb, seconds) delays its answer; "is-enabled" answers the given state.
#include <map>
#include <string>

#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "tests/support/scoped_env.h"

namespace testing_support {

class FakeSystemctl {
 public:
  FakeSystemctl() {
    platform::CreateFolderLevels(temp_ / "bin");
    platform::CreateFolderLevels(Marker());
    platform::WriteFileAtomically(temp_ / "bin/systemctl", "#!/bin/sh\nhere='" + temp_.path() + "'\n" + R"sh(
echo "$*" >> "$here/calls"
if [ -f "$here/slow-$1" ]; then sleep "$(cat "$here/slow-$1")"; fi
if [ -f "$here/refuse-$1" ]; then
  cat "$here/refuse-$1" >&2; exit "$(cat "$here/status-$1")"
fi
if [ "$1" = is-enabled ]; then
  cat "$here/state"; grep -q '^enabled' "$here/state"
fi
)sh",
                                  0755);
    State("disabled");
  }

  // The folder to put first on PATH.
  std::string BinFolder() const { return temp_ / "bin"; }
  // The folder whose presence says systemd runs the machine.
  std::string Marker() const { return temp_ / "systemd"; }
  // The variables for a process that should find this systemctl and believe systemd runs.
  std::map<std::string, std::string> Environment() const {
    return {{"PATH", BinFolder() + ":" + platform::GetEnv("PATH").value_or("/usr/bin:/bin")},
            {"MIRVALE_SYSTEMD_MARKER", Marker()}};
  }

  void Refuse(const std::string& verb, const std::string& text, int status = 1) {
    platform::WriteFileAtomically(temp_ / ("status-" + verb), std::to_string(status) + "\n");
    platform::WriteFileAtomically(temp_ / ("refuse-" + verb), text + "\n");
  }
  void Allow(const std::string& verb) { unlink((temp_ / ("refuse-" + verb)).c_str()); }
  // The verb answers only after the seconds, as when systemd waits for a polkit authentication.
  void Slow(const std::string& verb, int seconds) {
    platform::WriteFileAtomically(temp_ / ("slow-" + verb), std::to_string(seconds) + "\n");
  }
  void State(const std::string& state) { platform::WriteFileAtomically(temp_ / "state", state + "\n"); }

  // The calls so far, one per line; the record starts anew.
  std::string TakeCalls() {
    std::string calls = platform::ReadWholeFile(CallsPath()).value_or("");
    platform::WriteFileAtomically(CallsPath(), "");
    return calls;
  }

 private:
  std::string CallsPath() const { return temp_ / "calls"; }
  TempFolder temp_;
};

// This process uses the fake for the scope of the object.
class ScopedFakeSystemctl : public FakeSystemctl {
 public:
  ScopedFakeSystemctl() : path_("PATH", Environment()["PATH"]), marker_("MIRVALE_SYSTEMD_MARKER", Marker()) {}

 private:
  ScopedEnv path_;
  ScopedEnv marker_;
};

}  // namespace testing_support
