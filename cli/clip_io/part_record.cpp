#include "cli/clip_io/part_record.h"

#include <charconv>

#include "cli/tool_error.h"

namespace {

constexpr char kFrames[] = "QUIETLOOM_FRAMES=";
constexpr char kClip[] = "QUIETLOOM_CLIP=";
constexpr char kSettings[] = "QUIETLOOM_SETTINGS=";

bool starts_with(const std::string& text, const char* prefix, std::string& rest) {
  const std::string p(prefix);
  if (text.compare(0, p.size(), p) != 0) return false;
  rest = text.substr(p.size());
  return true;
}

bool parse_count(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= 0;
}

}  // namespace

std::vector<std::string> part_record_parameters(const PartRecord& record) {
  std::vector<std::string> parameters = {std::string(kFrames) + std::to_string(record.first) + ":" +
                                         (record.end >= 0 ? std::to_string(record.end) : "")};
  if (record.clip_frames >= 0) parameters.push_back(std::string(kClip) + std::to_string(record.clip_frames));
  parameters.push_back(std::string(kSettings) + record.settings);
  return parameters;
}

std::optional<PartRecord> find_part_record(const std::vector<std::string>& parameters,
                                           const std::string& name) {
  PartRecord record;
  bool frames = false, settings = false;
  for (const std::string& parameter : parameters) {
    std::string value;
    if (starts_with(parameter, kFrames, value)) {
      const size_t colon = value.find(':');
      const std::string end = colon == std::string::npos ? "" : value.substr(colon + 1);
      if (colon == std::string::npos || !parse_count(value.substr(0, colon), record.first) ||
          (!end.empty() && (!parse_count(end, record.end) || record.end <= record.first))) {
        throw ToolError(name, "malformed part record X" + parameter);
      }
      frames = true;
    } else if (starts_with(parameter, kClip, value)) {
      if (!parse_count(value, record.clip_frames)) throw ToolError(name, "malformed part record X" + parameter);
    } else if (starts_with(parameter, kSettings, value)) {
      if (value.empty()) throw ToolError(name, "malformed part record X" + parameter);
      record.settings = value;
      settings = true;
    }
  }
  if (!frames && !settings) return std::nullopt;
  if (!frames || !settings) throw ToolError(name, "incomplete part record (XQUIETLOOM_FRAMES and XQUIETLOOM_SETTINGS go together)");
  return record;
}
