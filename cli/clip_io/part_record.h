#pragma once
// What a y4m part written by a --range run says about itself, in X
// parameters of its stream header, so that `quietloom join` can tell whether
// parts belong together and are complete:
//   XQUIETLOOM_FRAMES=A:B  the clip's frames A..B-1 it holds ("A:" when the
//                          run could not know where the clip ends)
//   XQUIETLOOM_CLIP=T      the clip's length, when the run knew it
//   XQUIETLOOM_SETTINGS=D  a digest of what decided the settings (see
//                          settings_digest.h)
// Other programs ignore X parameters they do not know.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct PartRecord {
  int64_t first = 0;
  int64_t end = -1;          // -1: not known
  int64_t clip_frames = -1;  // -1: not known
  std::string settings;
};

// The X parameters (without their 'X') that carry the record.
std::vector<std::string> part_record_parameters(const PartRecord& record);

// The record among a header's X parameters, if there is one; a malformed
// one is a ToolError naming the stream.
std::optional<PartRecord> find_part_record(const std::vector<std::string>& parameters,
                                           const std::string& name);
