#pragma once
// Process-wide signal handling of the tool. SIGPIPE is ignored so that a
// closed output pipe shows up as a failed write (EPIPE) and ends the run with
// an error status. SIGINT, SIGTERM and SIGHUP remove every registered
// temporary file and then end the process with the signal's default action.

void install_signal_handling();

// Registers a path to remove when a terminating signal arrives; returns a
// handle for unregister_temp_path, or -1 when all places are taken (the path
// is then not removed on a signal).
int register_temp_path(const char* path);
void unregister_temp_path(int handle);
