// The install step (scripts/install.sh) into a temporary prefix: both programs land in <prefix>/bin
// with nothing pointing back into the build folder, nothing is left in the build folder (which
// would be root's in another account's checkout), and the installed service takes that folder as
// its program folder (its unit names it, its settings file is written there).
#include <sstream>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "tests/support/command_output.h"
#include "tests/support/service_process.h"

namespace {

using testing_support::CommandOutput;
using testing_support::ServiceProcess;
using testing_support::TempFolder;

std::vector<std::string> InstalledPrograms() {
  std::vector<std::string> names;
  std::istringstream list(INSTALLED_PROGRAMS);
  for (std::string name; std::getline(list, name, ',');) names.push_back(name);
  return names;
}

TEST(Install, PutsBothProgramsInAProgramFolderOfTheirOwnThatTheServiceRunsFrom) {
  TempFolder prefix;
  const std::string install = "bash " MIRVALE_SOURCE_DIR "/scripts/install.sh " + prefix.path() +
                              " " MIRVALE_BINARY_DIR " >/dev/null 2>&1; echo $?";
  ASSERT_EQ(CommandOutput(install), "0");
  struct stat manifest {};
  EXPECT_NE(stat(MIRVALE_BINARY_DIR "/install_manifest.txt", &manifest), 0)
      << "the install left a file in the build folder";
  const std::string folder = prefix / "bin";

  for (const auto& name : InstalledPrograms()) {
    const std::string program = folder + "/" + name;
    struct stat info {};
    ASSERT_EQ(stat(program.c_str(), &info), 0) << program;
    EXPECT_TRUE(S_ISREG(info.st_mode) && (info.st_mode & S_IXOTH)) << program;
    const std::string libraries = CommandOutput("ldd " + program + " 2>&1");
    EXPECT_EQ(libraries.find(MIRVALE_BINARY_DIR), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("not found"), std::string::npos) << libraries;
  }

  ServiceProcess service;
  service.SetProgram(folder + "/MirvaleSrv");
  service.SetEnv("MIRVALE_PROGRAM_FOLDER", "");  // empty is unset: the executable's folder
  ASSERT_TRUE(service.Register());
  const std::string unit = platform::ReadWholeFile(service.Root() + "/units/oskavel-mirvale.service").value_or("");
  EXPECT_NE(unit.find("ExecStart=@\"" + folder + "/MirvaleSrv\" MirvaleSrv\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("ReadWritePaths=\"-" + folder + "\"\n"), std::string::npos) << unit;

  ASSERT_TRUE(service.Start());
  ASSERT_TRUE(service.Stop());
  struct stat settings {};
  EXPECT_EQ(stat((folder + "/Mirvale.ini").c_str(), &settings), 0);
}

}  // namespace
