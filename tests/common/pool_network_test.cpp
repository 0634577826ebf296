#include "common/pool_network.h"

#include <gtest/gtest.h>

using namespace mirvale;

TEST(PoolNetwork, NetworksAreMaskedFirstAndListAndContainTheSameHosts) {
  PoolNetwork net = PoolNetwork::FromEntry("10.0.0.77", "255.255.255.248");
  EXPECT_FALSE(net.IsSingleDevice());
  EXPECT_EQ(net.HostCount(), 6u);
  EXPECT_EQ(net.HostAddress(0), "10.0.0.73");
  EXPECT_EQ(net.HostAddress(5), "10.0.0.78");
  for (uint64_t i = 0; i < net.HostCount(); ++i) EXPECT_TRUE(net.Contains(net.HostAddress(i)));
  EXPECT_FALSE(net.Contains("10.0.0.71"));
  EXPECT_FALSE(net.Contains("10.0.0.80"));
  EXPECT_FALSE(net.Contains("router.example"));

  EXPECT_EQ(PoolNetwork::FromEntry("10.1.0.0", "255.255.0.0").HostCount(), 65534u);
  EXPECT_EQ(PoolNetwork::FromEntry("10.0.0.0", "0.0.0.0").HostCount(), 4294967294u);
  EXPECT_EQ(PoolNetwork::FromEntry("10.0.0.0", "255.255.255.254").HostCount(), 0u);
  PoolNetwork bad = PoolNetwork::FromEntry("10.0.0.0", "bad");
  EXPECT_EQ(bad.HostCount(), 0u);
  EXPECT_FALSE(bad.Contains("10.0.0.0"));
}

TEST(PoolNetwork, SingleDevices) {
  PoolNetwork named = PoolNetwork::FromEntry("router.example", "255.255.255.255");
  EXPECT_TRUE(named.IsSingleDevice());
  EXPECT_EQ(named.HostCount(), 1u);
  EXPECT_EQ(named.HostAddress(0), "router.example");
  EXPECT_TRUE(named.Contains("switch.example"));  // names compare as 255.255.255.255
  EXPECT_FALSE(named.Contains("10.0.0.1"));
  PoolNetwork one = PoolNetwork::FromEntry("10.0.0.5", "255.255.255.255");
  EXPECT_TRUE(one.Contains("10.0.0.5"));
  EXPECT_FALSE(one.Contains("10.0.0.6"));
}

TEST(PoolNetwork, AScatteredMaskListsNothingAndKeepsWhatItMightCover) {
  EXPECT_TRUE(IsContiguousMask("255.255.255.0"));
  EXPECT_TRUE(IsContiguousMask("0.0.0.0"));
  EXPECT_TRUE(IsContiguousMask("255.255.255.255"));
  EXPECT_FALSE(IsContiguousMask("255.0.255.0"));
  EXPECT_FALSE(IsContiguousMask("255.255.255.1"));
  EXPECT_FALSE(IsContiguousMask("mask"));
  PoolNetwork scattered = PoolNetwork::FromEntry("10.5.7.0", "255.0.255.0");
  EXPECT_TRUE(scattered.HasScatteredMask());
  EXPECT_EQ(scattered.HostCount(), 0u);
  EXPECT_FALSE(scattered.Contains("10.0.7.1"));
  EXPECT_TRUE(scattered.MayCover("10.5.7.9"));
  EXPECT_TRUE(scattered.MayCover("10.0.7.1"));
  EXPECT_FALSE(scattered.MayCover("10.5.8.9"));
  EXPECT_FALSE(PoolNetwork::FromEntry("10.5.7.0", "255.255.255.0").HasScatteredMask());
}
