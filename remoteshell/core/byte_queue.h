#pragma once
// First-in first-out bytes for data that cannot be written yet, in 512-byte blocks.
#include <cstddef>

struct ByteQueueBlock {
  ByteQueueBlock* next;
  int end;    // bytes filled
  int start;  // bytes already consumed
  char data[512];
};

struct ByteQueue {
  ByteQueueBlock* head = nullptr;
  ByteQueueBlock* tail = nullptr;
  int size = 0;  // unread bytes

  ByteQueue() = default;
  ~ByteQueue();
  ByteQueue(const ByteQueue&) = delete;
  ByteQueue& operator=(const ByteQueue&) = delete;
};

void byte_queue_init(ByteQueue* queue);
void byte_queue_clear(ByteQueue* queue);
int byte_queue_size(const ByteQueue* queue);
void byte_queue_append(ByteQueue* queue, const void* bytes, int length);
// The unread bytes of the head block, left in place. The queue must not be empty.
void byte_queue_prefix(const ByteQueue* queue, const void** bytes, int* length);
// Removes up to length bytes from the front.
void byte_queue_consume(ByteQueue* queue, int length);
// Copies length bytes from the front without removing them; the caller checked they are there.
void byte_queue_fetch(const ByteQueue* queue, void* buffer, int length);
