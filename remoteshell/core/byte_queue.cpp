#include "remoteshell/core/byte_queue.h"

#include <algorithm>
#include <cstring>

#include "base/memory.h"

namespace {
constexpr int kBlockBytes = sizeof(ByteQueueBlock::data);
}

ByteQueue::~ByteQueue() { byte_queue_clear(this); }

void byte_queue_init(ByteQueue* queue) {
  queue->head = queue->tail = nullptr;
  queue->size = 0;
}

void byte_queue_clear(ByteQueue* queue) {
  while (queue->head != nullptr) {
    ByteQueueBlock* next = queue->head->next;
    checked_free(queue->head);
    queue->head = next;
  }
  queue->tail = nullptr;
  queue->size = 0;
}

int byte_queue_size(const ByteQueue* queue) { return queue->size; }

void byte_queue_append(ByteQueue* queue, const void* bytes, int length) {
  auto* from = static_cast<const char*>(bytes);
  while (length > 0) {
    if (queue->tail == nullptr || queue->tail->end == kBlockBytes) {
      auto* block = checked_new_array<ByteQueueBlock>(1);
      block->next = nullptr;
      block->start = block->end = 0;
      if (queue->tail != nullptr)
        queue->tail->next = block;
      else
        queue->head = block;
      queue->tail = block;
    }
    int room = std::min(length, kBlockBytes - queue->tail->end);
    std::memcpy(queue->tail->data + queue->tail->end, from, static_cast<size_t>(room));
    queue->tail->end += room;
    queue->size += room;
    from += room;
    length -= room;
  }
}

void byte_queue_prefix(const ByteQueue* queue, const void** bytes, int* length) {
  *bytes = queue->head->data + queue->head->start;
  *length = queue->head->end - queue->head->start;
}

void byte_queue_consume(ByteQueue* queue, int length) {
  while (length > 0 && queue->head != nullptr) {
    ByteQueueBlock* block = queue->head;
    int taken = std::min(length, block->end - block->start);
    block->start += taken;
    queue->size -= taken;
    length -= taken;
    if (block->start == block->end) {
      queue->head = block->next;
      if (queue->head == nullptr) queue->tail = nullptr;
      checked_free(block);
    }
  }
}

void byte_queue_fetch(const ByteQueue* queue, void* buffer, int length) {
  auto* to = static_cast<char*>(buffer);
  for (const ByteQueueBlock* block = queue->head; block != nullptr && length > 0; block = block->next) {
    int taken = std::min(length, block->end - block->start);
    std::memcpy(to, block->data + block->start, static_cast<size_t>(taken));
    to += taken;
    length -= taken;
  }
}
