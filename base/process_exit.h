#pragma once
// The process-fatal exit that every layer of the remote-shell client (the cryptography too) may
// call, and the work registered to run before it.
//
// Only a process-wide fault ("Out of memory!") ends the process; connection errors end one
// conversation and go through the front end of the client instead.

// Work to do before a fatal exit (closing sockets, saving the random seed). Hooks run once, in
// reverse order of registration; registering the same hook twice keeps one.
using ShutdownHook = void (*)();
void shutdown_hook_register(ShutdownHook hook);
void shutdown_hook_unregister(ShutdownHook hook);

// Prints "FATAL ERROR: " and the message on standard error, writes it to the event log, then
// shutdown_and_exit(1).
[[noreturn]] void fatal_error_exit(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Runs the shutdown hooks and ends the process with the code.
[[noreturn]] void shutdown_and_exit(int code);
