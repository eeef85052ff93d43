#pragma once
// The denoising run: reads the input clip, renders every output frame
// through the module in the stand-in host, in order, and writes it, holding
// only the window of frames that the module reads.
#include <cstdio>

#include "cli/analysis/clip_analyser.h"
#include "cli/options.h"

struct RunSummary {
  int64_t frames_written = 0;
  int64_t frames_in_clip = -1;  // -1 when the run stopped before the end of the clip
};

// Throws ToolError on any failure; no output is left under the target's
// name then.
RunSummary run_denoise(const DenoiseOptions& options);

// What the analyser takes of each scene in a run: a plan must measure the
// scenes the same way for its settings to be those of a run.
AnalysisOptions scene_analysis_options(bool measure, bool per_field);

// Whether per-field processing is on for a clip: the command line decides
// when it says; else It/Ib turn it on, Ip off; else the module's default.
bool field_processing(const DenoiseOptions& options, const VideoFormat& format);
