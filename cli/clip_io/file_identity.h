#pragma once
// Which files a run reads and writes, so that no output can be the input or
// another output.
#include <string>

// Refuses an output that is the input itself (same path after resolving
// links, or the same file on disk) and video on a terminal.
void check_output_target(const std::string& input, const std::string& output);
