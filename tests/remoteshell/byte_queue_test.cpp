#include "remoteshell/core/byte_queue.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

TEST(ByteQueue, SixHundredBytesMakeTwoBlocksAndConsumingReleasesTheFirst) {
  ByteQueue queue;
  std::string data(600, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  byte_queue_append(&queue, data.data(), 600);
  EXPECT_EQ(byte_queue_size(&queue), 600);
  ASSERT_NE(queue.head, queue.tail);
  EXPECT_EQ(queue.head->end, 512);
  EXPECT_EQ(queue.tail->end, 88);

  byte_queue_consume(&queue, 512);
  EXPECT_EQ(queue.head, queue.tail);
  const void* prefix = nullptr;
  int length = 0;
  byte_queue_prefix(&queue, &prefix, &length);
  EXPECT_EQ(std::string(static_cast<const char*>(prefix), length), data.substr(512));

  byte_queue_consume(&queue, 88);
  EXPECT_EQ(queue.head, nullptr);
  EXPECT_EQ(queue.tail, nullptr);
  byte_queue_append(&queue, "x", 0);
  EXPECT_EQ(queue.head, nullptr);
}

TEST(ByteQueue, RandomAppendsAndConsumesKeepTheStream) {
  std::mt19937 random(7);
  ByteQueue queue;
  std::string expected;
  std::string written;
  uint8_t next = 0;
  for (int turn = 0; turn < 2000; ++turn) {
    std::string piece(random() % 1500, '\0');
    for (char& c : piece) c = static_cast<char>(next++);
    byte_queue_append(&queue, piece.data(), static_cast<int>(piece.size()));
    expected += piece;
    int take = static_cast<int>(random() % (expected.size() + 1));
    std::string fetched(take, '\0');
    byte_queue_fetch(&queue, fetched.data(), take);
    ASSERT_EQ(fetched, expected.substr(0, take));
    byte_queue_consume(&queue, take);
    expected.erase(0, take);
    ASSERT_EQ(byte_queue_size(&queue), static_cast<int>(expected.size()));
  }
  byte_queue_clear(&queue);
  EXPECT_EQ(byte_queue_size(&queue), 0);
}

}  // namespace
