#include <gtest/gtest.h>

#include "service/actions/trap_thread.h"

namespace mirvale {
namespace {

using Managers = std::vector<std::string>;

TEST(TrapManagers, SplitAtSemicolonsTrimmedAndWithoutEmptyParts) {
  EXPECT_EQ(CConfigurationTrapThread::SplitManagers(" 10.0.0.1 ;\t nms.example ; "), (Managers{"10.0.0.1", "nms.example"}));
  EXPECT_EQ(CConfigurationTrapThread::SplitManagers("127.0.0.1; 127.0.0.2;"), (Managers{"127.0.0.1", "127.0.0.2"}));
  EXPECT_EQ(CConfigurationTrapThread::SplitManagers(";;a;;"), Managers{"a"});
  EXPECT_TRUE(CConfigurationTrapThread::SplitManagers("").empty());
  EXPECT_TRUE(CConfigurationTrapThread::SplitManagers(" ; ;").empty());
}

}  // namespace
}  // namespace mirvale
