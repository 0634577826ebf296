#pragma once
// The SSH host-key cache in "Software\Hollerin\Mirsh\SshHostKeys": one text value per host key,
// named "<key type>@<port>:<escaped host>".

// 0 the same key is cached, 1 no key cached, 2 a different (or unreadable) key is cached.
int host_key_cache_lookup(const char* host, int port, const char* key_type, const char* key_text);
void host_key_cache_store(const char* host, int port, const char* key_type, const char* key_text);
