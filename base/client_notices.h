#pragma once
// What the remote-shell client tells beyond one conversation: the event-log source it writes
// under, the old key-format warning and the change notice a graphical front end would take.

// Printed (and logged) when an SSH-2 private key of the old file format is loaded.
void old_key_format_warning();

// Where a graphical front end would be told of a change (timer list, connection state, echo
// mode). The service needs no such notice.
void frontend_notify(void* frontend);

// Source name under which the client writes to the system event log.
inline constexpr const char* kRemoteShellEventSource = "MirvaleSrv";
