#pragma once
// Where the remote-shell client keeps its settings in the registry store.

inline constexpr const char* kMirshRegistryPath = "Software\\Hollerin\\Mirsh";
inline constexpr const char* kSessionsRegistryPath = "Software\\Hollerin\\Mirsh\\Sessions";
inline constexpr const char* kHostKeysRegistryPath = "Software\\Hollerin\\Mirsh\\SshHostKeys";
