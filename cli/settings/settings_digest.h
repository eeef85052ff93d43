#pragma once
// A short digest of everything that decides the settings a run gives each
// frame: the preset, the setting options given and --strength, whether the
// fields are processed apart, and where the scenes come from (measured from
// the clip, or a plan's scenes and settings). Parts of one clip with the same
// digest were made under the same settings; worker counts and the engine
// level change no output and are left out.
#include <string>

#include "cli/options.h"

// 64-bit FNV-1a of the text, as 16 lower-case hex digits.
std::string text_digest(const std::string& text);

// scene_source: "" without scenes (--preset none), "measured", or
// "plan " + the plan's digest.
std::string settings_digest(const DenoiseOptions& options, bool per_field, const std::string& scene_source);
