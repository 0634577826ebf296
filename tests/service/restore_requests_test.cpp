// Which requests a run carries out, and how results find their way back into a settings
// document that may have been replaced meanwhile.
#include "service/restore/restore_requests.h"

#include <gtest/gtest.h>

namespace mirvale {
namespace {

CRestoreItem Request(const std::string& value, const std::string& result = "") {
  return CRestoreItem{"lab", "10.0.0.1", "r1", "sysLocation", "1.3.6.1.2.1.1.6.0", value, result, "admin"};
}

std::vector<std::string> KeysOf(const std::vector<RestoreRequest>& requests) {
  std::vector<std::string> keys;
  for (const auto& request : requests) keys.push_back(request.key);
  return keys;
}

TEST(RestoreRequests, PendingAreThoseWithoutResultInMapOrder) {
  CMirvaleDoc doc;
  doc.m_mapRestore.Set("c", Request("3"));
  doc.m_mapRestore.Set("a", Request("1", "Successful"));
  doc.m_mapRestore.Set("b", Request("2"));
  doc.m_mapRestore.Set("d", Request("4", "Failed"));
  auto pending = PendingRestoreRequests(doc);
  EXPECT_EQ(KeysOf(pending), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(pending[0].item, Request("2"));
  EXPECT_TRUE(PendingRestoreRequests(CMirvaleDoc{}).empty());
}

TEST(RestoreRequests, ResultsMergeIntoTheSamePendingRequestOnly) {
  CMirvaleDoc current;
  current.m_mapRestore.Set("same", Request("1"));
  current.m_mapRestore.Set("answered", Request("2", "Failed"));
  current.m_mapRestore.Set("replaced", Request("new value"));
  current.m_mapRestore.Set("added", Request("4"));

  std::vector<RestoreRequest> done = {
      {"same", Request("1", "Successful")},
      {"answered", Request("2", "Successful")},
      {"replaced", Request("old value", "Successful")},
      {"removed", Request("5", "Successful")},
      {"added", Request("4")},  // carried no result: nothing to write
  };
  EXPECT_EQ(MergeRestoreResults(current, done), 1u);
  EXPECT_EQ(current.m_mapRestore.Find("same")->m_strResult, "Successful");
  EXPECT_EQ(current.m_mapRestore.Find("answered")->m_strResult, "Failed") << "a result is never replaced";
  EXPECT_EQ(current.m_mapRestore.Find("replaced")->m_strResult, "") << "a different request under the key";
  EXPECT_FALSE(current.m_mapRestore.Contains("removed"));
  EXPECT_EQ(current.m_mapRestore.Find("added")->m_strResult, "");
  EXPECT_EQ(current.m_mapRestore.size(), 4u);
}

}  // namespace
}  // namespace mirvale
