#pragma once
// The authentication agent client: the SSH agent protocol on the Unix-domain socket named by
// SSH_AUTH_SOCK. Messages are built and read by the SSH layer; this layer only carries one
// request and its reply. Queries block the calling thread, but never longer than the time-out.
#include <cstddef>

// A reply's 4-byte length field may announce at most this many bytes: a larger (or malformed)
// answer counts as no answer. Generous enough for an agent holding many large keys.
inline constexpr size_t kAgentReplyLimit = 256 * 1024;
// The whole exchange (connect, send, reply) must end within this time.
inline constexpr int kAgentTimeoutMs = 10000;

// Unused: queries are always answered at once. Kept so that callers match the agent contract.
using AgentCallback = void (*)(void* context, void* reply, int reply_length);

// 1 when SSH_AUTH_SOCK names a socket that accepts a connection, else 0.
int agent_exists();

// Sends one request (4-byte big-endian length and the message) and waits for the answer.
// Returns 1 (answered at once; the callback is never used). *reply receives a new buffer
// holding the 4-byte length and the body (release with agent_free_reply), or null with
// *reply_length 0 when there is no agent or no answer.
int agent_query(const void* request, int length, void** reply, int* reply_length, AgentCallback callback,
                void* callback_context);

// The same with a time-out of the caller's choosing.
void agent_query_within(const void* request, int length, void** reply, int* reply_length, int timeout_ms);

// Clears and releases a reply of agent_query (null is ignored).
void agent_free_reply(void* reply, int reply_length);
