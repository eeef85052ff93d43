#pragma once
// Process-wide signal handling of the tool.
//
// SIGPIPE and SIGXFSZ are ignored, so that a closed output pipe (EPIPE) and
// the file size limit (EFBIG) show up as failed writes and end the run with
// an error. Every other signal whose default action ends the process is
// caught: the handler stops and reaps the registered child processes (an
// encoder could otherwise create its output again), removes every
// registered temporary file, and then ends the process with the signal's
// default action. A signal that was ignored when the tool started (nohup, a
// background job) stays ignored.

#include <signal.h>
#include <sys/types.h>

void install_signal_handling();

// Registers a path to remove when a terminating signal arrives; returns a
// handle for unregister_temp_path, or -1 when all places are taken (the path
// is then not removed on a signal).
int register_temp_path(const char* path);
void unregister_temp_path(int handle);

// The same for a child process to stop and reap first.
int register_child(pid_t pid);
void unregister_child(int handle);

// The signals that the tool ignores but its children should not inherit
// ignored (SIGPIPE and SIGXFSZ, unless the tool was started with them
// ignored): a child that writes to a closed pipe ends quietly instead of
// reporting a broken pipe.
sigset_t signals_to_reset_in_children();
