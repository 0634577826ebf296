#pragma once
// Where the remote-shell client keeps its settings (its own, its saved sessions, the SSH host
// keys it knows) in the registry store.

inline constexpr const char* kMirshRegistryPath = "Software\\Hollerin\\Mirsh";
inline constexpr const char* kSessionsRegistryPath = "Software\\Hollerin\\Mirsh\\Sessions";
inline constexpr const char* kHostKeysRegistryPath = "Software\\Hollerin\\Mirsh\\SshHostKeys";
