#include "cli/settings/plan_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/settings/scene_json.h"
#include "cli/settings/settings_digest.h"
#include "cli/tool_error.h"

namespace {

using nlohmann::json;
using ordered = nlohmann::ordered_json;

// A plan of a feature film with thousands of scenes stays far below this.
constexpr std::streamoff kMaxPlanBytes = 64 << 20;

const char* interlace_letter(Interlace i) {
  switch (i) {
    case Interlace::kProgressive: return "p";
    case Interlace::kTopFirst: return "t";
    case Interlace::kBottomFirst: return "b";
    case Interlace::kMixed: return "m";
    case Interlace::kUnknown: return "?";
    case Interlace::kUnstated: return "";
  }
  return "";
}

// Reads the members of one JSON object, naming the place of anything wrong.
class Reader {
 public:
  Reader(const json& object, std::string name, std::string place)
      : object_(object), name_(std::move(name)), place_(std::move(place)) {
    if (!object_.is_object()) fail("is not an object");
  }
  [[noreturn]] void fail(const std::string& problem) const {
    throw ToolError(name_, "not a usable plan: " + (place_.empty() ? "the file" : place_) + " " + problem);
  }
  const json& member(const std::string& key) const {
    auto it = object_.find(key);
    if (it == object_.end()) Reader(object_, name_, where(key)).fail("is missing");
    return *it;
  }
  Reader object(const std::string& key) const { return Reader(member(key), name_, where(key)); }
  int64_t integer(const std::string& key, int64_t low, int64_t high) const {
    const json& v = member(key);
    if (!v.is_number_integer()) Reader(object_, name_, where(key)).fail("is not an integer");
    const int64_t value = v.get<int64_t>();
    if (value < low || value > high) {
      Reader(object_, name_, where(key))
          .fail("is " + std::to_string(value) + ", outside " + std::to_string(low) + ".." + std::to_string(high));
    }
    return value;
  }
  std::string text(const std::string& key) const {
    const json& v = member(key);
    if (!v.is_string()) Reader(object_, name_, where(key)).fail("is not a string");
    return v.get<std::string>();
  }
  bool flag(const std::string& key) const {
    const json& v = member(key);
    if (!v.is_boolean()) Reader(object_, name_, where(key)).fail("is not true or false");
    return v.get<bool>();
  }
  const std::string& name() const { return name_; }
  std::string where(const std::string& key) const { return place_.empty() ? key : place_ + "." + key; }

 private:
  const json& object_;
  std::string name_;
  std::string place_;
};

Settings settings_from(const Reader& r, const FILTER_DLL& table) {
  Settings s = table_settings(table);
  const Reader tracks = r.object("tracks"), checks = r.object("checks");
  for (int i = 0; i < kTrackCount; ++i) {
    const int high = is_threshold_track(i) ? kMaxThresholdTrack : table.track_e[i];
    s.tracks[size_t(i)] = int(tracks.integer(kTrackOptionNames[i] + 2, table.track_s[i], high));
  }
  for (int i = 1; i < kCheckCount; ++i) s.checks[size_t(i)] = checks.flag(kCheckOptionNames[i] + 2) ? 1 : 0;
  return s;
}

}  // namespace

const PlannedScene& ClipPlan::scene_of(int64_t f) const {
  auto it = std::upper_bound(scenes.begin(), scenes.end(), f,
                             [](int64_t v, const PlannedScene& s) { return v < s.first; });
  return *(it - 1);
}

std::string plan_to_json(const ClipPlan& plan, const FILTER_DLL& table) {
  ordered scenes = ordered::array(), parts = ordered::array();
  for (const PlannedScene& scene : plan.scenes) {
    Settings shown = scene.settings;
    fit_window_to_scene(shown, scene.end - scene.first);
    ordered entry = {{"first", scene.first}, {"end", scene.end}};
    put_scene_figures(entry, scene.figures);
    entry["follow_camera"] = scene.follow_camera;
    entry["settings"] = settings_json<ordered>(scene.settings);
    entry["options"] = describe_settings(shown, table);
    scenes.push_back(entry);
  }
  for (const FrameRange& part : plan.parts) parts.push_back({{"first", part.first}, {"end", part.end}});
  ordered j = {{"quietloom_plan", 1},
            {"input", plan.input},
            {"width", plan.width},
            {"height", plan.height},
            {"chroma", plan.chroma_tag},
            {"interlace", interlace_letter(plan.interlace)},
            {"fields_apart", plan.fields_apart},
            {"frames", plan.frames},
            {"digest", plan_digest(plan)},
            {"scenes", scenes},
            {"parts", parts}};
  // A file name need not be UTF-8; JSON text must be.
  return j.dump(1, ' ', false, ordered::error_handler_t::replace) + "\n";
}

ClipPlan plan_from_json(const std::string& text, const std::string& name, const FILTER_DLL& table) {
  json j;
  try {
    j = json::parse(text);
  } catch (const json::parse_error& e) {
    throw ToolError(name, "not a plan (not JSON: error at byte " + std::to_string(e.byte) + ")");
  }
  const Reader r(j, name, "");
  if (!j.is_object() || !j.contains("quietloom_plan")) throw ToolError(name, "not a plan made by quietloom plan");
  if (r.integer("quietloom_plan", 0, INT32_MAX) != 1) r.fail("has a version this tool does not read");
  ClipPlan plan;
  plan.input = r.text("input");
  plan.width = int(r.integer("width", kMinWidth, kMaxWidth));
  plan.height = int(r.integer("height", kMinHeight, kMaxHeight));
  plan.chroma_tag = r.text("chroma");
  const std::string interlace = r.text("interlace");
  bool known = false;
  for (Interlace i : {Interlace::kUnstated, Interlace::kProgressive, Interlace::kTopFirst, Interlace::kBottomFirst,
                      Interlace::kMixed, Interlace::kUnknown}) {
    if (interlace == interlace_letter(i)) {
      plan.interlace = i;
      known = true;
    }
  }
  if (!known) Reader(j, name, "interlace").fail("is not one of p, t, b, ?, or empty");
  plan.fields_apart = r.flag("fields_apart");
  plan.frames = r.integer("frames", 1, INT64_MAX / 2);
  const json& scenes = r.member("scenes");
  if (!scenes.is_array() || scenes.empty()) r.fail("has no scenes");
  int64_t next = 0;
  for (size_t i = 0; i < scenes.size(); ++i) {
    const Reader s(scenes[i], name, "scene " + std::to_string(i + 1));
    PlannedScene scene;
    scene.first = s.integer("first", 0, plan.frames - 1);
    scene.end = s.integer("end", 1, plan.frames);
    if (scene.first != next) s.fail("starts at frame " + std::to_string(scene.first) + ", not " + std::to_string(next));
    if (scene.end <= scene.first) s.fail("ends before it starts");
    scene.settings = settings_from(s.object("settings"), table);
    // Plans written before the window could follow the camera have no say.
    scene.follow_camera = scenes[i].contains("follow_camera") && s.flag("follow_camera");
    next = scene.end;
    plan.scenes.push_back(scene);
  }
  if (next != plan.frames) r.fail("has scenes through frame " + std::to_string(next - 1) + " of " + std::to_string(plan.frames));
  // The parts are for people and scripts; a run reads only its own range.
  if (j.contains("parts") && j["parts"].is_array()) {
    for (size_t i = 0; i < j["parts"].size(); ++i) {
      const Reader p(j["parts"][i], name, "part " + std::to_string(i + 1));
      plan.parts.push_back({p.integer("first", 0, plan.frames - 1), p.integer("end", 1, plan.frames)});
    }
  }
  return plan;
}

ClipPlan read_plan_file(const std::string& path, const FILTER_DLL& table) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ToolError(path, std::strerror(errno));
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size > kMaxPlanBytes) throw ToolError(path, "not a plan (larger than 64 MB)");
  file.seekg(0);
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw ToolError(path, std::string("read error: ") + std::strerror(errno));
  return plan_from_json(text.str(), path, table);
}

std::string plan_digest(const ClipPlan& plan) {
  std::string text = std::to_string(plan.width) + "x" + std::to_string(plan.height) + " C" + plan.chroma_tag +
                     " I" + interlace_letter(plan.interlace) + (plan.fields_apart ? " fields" : "") + " " +
                     std::to_string(plan.frames) + "\n";
  for (const PlannedScene& scene : plan.scenes) {
    text += std::to_string(scene.first) + ":" + std::to_string(scene.end);
    for (int v : scene.settings.tracks) text.append(" ").append(std::to_string(v));
    for (int i = 1; i < kCheckCount; ++i) text.append(" ").append(std::to_string(scene.settings.checks[size_t(i)]));
    text += scene.follow_camera ? " follow\n" : "\n";
  }
  return text_digest(text);
}

std::string plan_mismatch(const ClipPlan& plan, const VideoFormat& format) {
  if (plan.width != format.width || plan.height != format.height) {
    return "the plan is for " + std::to_string(plan.width) + "x" + std::to_string(plan.height) + " frames, the clip has " +
           std::to_string(format.width) + "x" + std::to_string(format.height);
  }
  if (plan.chroma_tag != format.chroma_tag) {
    return "the plan is for C" + plan.chroma_tag + " samples, the clip has C" + format.chroma_tag;
  }
  if (plan.interlace != format.interlace) {
    return std::string("the plan is for interlacing I") + interlace_letter(plan.interlace) + ", the clip has I" +
           interlace_letter(format.interlace);
  }
  return "";
}
