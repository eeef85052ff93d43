#pragma once
// `quietloom plan INPUT --parts N | --part-frames K`: reads the clip once,
// finds its scenes and the settings `--preset auto` gives each, and splits
// it into parts for runs on many machines. Standard output gets one A:B
// range per line (the --range of each part), or the whole plan as JSON with
// --json; --save writes the JSON plan to a file for `--settings`. The
// scenes are listed on standard error unless --quiet.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "cli/options.h"
#include "cli/settings/plan_file.h"

// Splits `frames` frames into `parts` parts of about equal length; a
// boundary moves to a scene's first frame (`cuts`, ascending) when one lies
// within an eighth of a part's length of it, so that parts start on cuts
// where the clip allows.
std::vector<FrameRange> split_into_parts(int64_t frames, int64_t parts, const std::vector<int64_t>& cuts);

// Returns the plan; throws ToolError on unreadable input or bad requests.
ClipPlan run_plan(const PlanOptions& options, std::FILE* out);
