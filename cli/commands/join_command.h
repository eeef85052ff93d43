#pragma once
// `quietloom join PART... OUTPUT`: writes the y4m parts of one clip, made by
// --range runs, as one clip. Every part carries a record of its range and
// settings (see part_record.h); the parts are taken in the order of their
// ranges and must be complete, consecutive from frame 0 (through the clip's
// last frame when the parts know it), of one format and made under the same
// settings. Anything else is refused with one line naming the part, before
// the output is touched. The output is written under a temporary name,
// renamed when complete, and is never one of the parts.
#include <cstdint>

#include "cli/options.h"

// Returns the number of frames written; throws ToolError.
int64_t run_join(const JoinOptions& options);
