#include "remoteshell/core/conversation.h"

namespace {

thread_local ShellConversation* bound = nullptr;

ShellConversation* thread_default() {
  thread_local ShellConversation conversation;
  return &conversation;
}

}  // namespace

ShellConversation* conversation_current() { return bound != nullptr ? bound : thread_default(); }

ShellConversation* conversation_of(void* frontend) {
  return frontend != nullptr ? static_cast<ShellConversation*>(frontend) : conversation_current();
}

std::string conversation_event_text(void* frontend, const char* text) {
  const std::string& device = conversation_of(frontend)->device;
  return device.empty() ? std::string(text) : device + ": " + text;
}

ConversationScope::ConversationScope(ShellConversation* conversation) : previous_(bound) { bound = conversation; }

ConversationScope::~ConversationScope() { bound = previous_; }
