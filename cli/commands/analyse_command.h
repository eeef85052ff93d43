#pragma once
// `quietloom analyse INPUT [--json]`: reads the clip once, in order, and
// prints each scene as soon as it is known: its frames, the noise of each
// plane (8-bit code units), how much of the picture moves, the camera's
// shift, and the settings `--preset auto` would give it. Memory stays at a
// few frames whatever the clip's length; a pipe works as well as a file.
#include <cstdio>

#include "cli/options.h"

// Returns the number of scenes; throws ToolError on unreadable input.
int64_t run_analyse(const AnalyseOptions& options, std::FILE* out);
