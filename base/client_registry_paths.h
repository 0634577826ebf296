#pragma once
// Where the remote-shell client keeps its settings (its own, its saved sessions, the SSH host
// keys it knows) in the registry store.

inline constexpr const char* kMirshRegistryPath = "Software\\Hollerin\\Mirsh";
inline constexpr const char* kSessionsRegistryPath = "Software\\Hollerin\\Mirsh\\Sessions";
inline constexpr const char* kHostKeysRegistryPath = "Software\\Hollerin\\Mirsh\\SshHostKeys";
// When each host of the host-key cache was first stored and last used, apart from the keys so
// that the cache's own values stay as they were.
inline constexpr const char* kHostKeyUseRegistryPath = "Software\\Hollerin\\Mirsh\\SshHostKeyUse";
