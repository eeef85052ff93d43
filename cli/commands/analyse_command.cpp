#include "cli/commands/analyse_command.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/analysis/clip_analyser.h"
#include "cli/clip_io/clip_input.h"
#include "cli/settings/auto_settings.h"
#include "cli/settings/scene_json.h"
#include "cli/settings/scene_settings.h"
#include "cli/tool_error.h"
#include "plugin/host_api.h"

namespace {

const char* chroma_text(ChromaFormat c) {
  return c == ChromaFormat::k420 ? "4:2:0" : c == ChromaFormat::k422 ? "4:2:2" : "4:4:4";
}

const char* interlace_text(Interlace i) {
  switch (i) {
    case Interlace::kProgressive: return "progressive";
    case Interlace::kTopFirst: return "top field first";
    case Interlace::kBottomFirst: return "bottom field first";
    case Interlace::kMixed: return "mixed";
    default: return "not stated";
  }
}

// Prints scenes in the chosen form as they become final.
class ScenePrinter {
 public:
  ScenePrinter(std::FILE* out, bool json, const FILTER_DLL& table) : out_(out), json_(json), table_(table) {}

  void begin(const std::string& name, const VideoFormat& format, bool fields) {
    if (json_) {
      nlohmann::json clip = {{"input", name},
                             {"width", format.width},
                             {"height", format.height},
                             {"chroma", chroma_text(format.chroma)},
                             {"bit_depth", format.bit_depth},
                             {"frame_rate", {format.frame_rate.num, format.frame_rate.den}},
                             {"interlace", interlace_text(format.interlace)},
                             {"fields_apart", fields}};
      // A file name need not be UTF-8: bytes that are not are replaced.
      std::string head = clip.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      head.pop_back();  // the closing brace: the scenes follow
      std::fprintf(out_, "%s,\"scenes\":[", head.c_str());
    } else {
      std::fprintf(out_, "%s: %dx%d %s %d-bit, %lld:%lld fps, %s%s\n", printable(name).c_str(), format.width,
                   format.height, chroma_text(format.chroma), format.bit_depth,
                   (long long)format.frame_rate.num, (long long)format.frame_rate.den,
                   interlace_text(format.interlace), fields ? ", fields apart" : "");
      std::fprintf(out_, "%-6s %-15s %6s %6s %6s %7s %6s  %s\n", "scene", "frames", "Y", "Cb", "Cr",
                   "motion", "speed", "settings");
    }
    std::fflush(out_);
  }

  void scene(int64_t index, const Scene& scene) {
    const bool follow = follows_camera(scene.figures);
    Settings settings = auto_settings(scene.figures, table_settings(table_), follow);
    fit_window_to_scene(settings, scene.end - scene.first);
    const SceneFigures& f = scene.figures;
    if (json_) {
      nlohmann::json j = {{"first", scene.first}, {"last", scene.end - 1}, {"frames", scene.end - scene.first}};
      put_scene_figures(j, f);
      j["follow_camera"] = follow;
      j["settings"] = settings_json<nlohmann::json>(settings);
      j["options"] = options_text(settings, follow);
      std::fprintf(out_, "%s%s", index > 0 ? "," : "", j.dump().c_str());
    } else {
      const std::string frames = std::to_string(scene.first) + "-" + std::to_string(scene.end - 1);
      std::fprintf(out_, "%-6lld %-15s %6.2f %6.2f %6.2f %6.0f%% %6.2f  %s\n", (long long)(index + 1),
                   frames.c_str(), f.noise[0], f.noise[1], f.noise[2], f.motion * 100, f.camera_speed,
                   options_text(settings, follow).c_str());
    }
    std::fflush(out_);
  }

  // The options that reproduce the scene's run (the window's choice too).
  std::string options_text(const Settings& settings, bool follow) const {
    return describe_settings(settings, table_) + motion_option(follow ? kAutoFollowing : MotionMode::kOff);
  }

  void end(int64_t frames) {
    if (json_) std::fprintf(out_, "],\"frames\":%lld}\n", (long long)frames);
    std::fflush(out_);
  }

 private:
  std::FILE* out_;
  bool json_;
  const FILTER_DLL& table_;
};

}  // namespace

int64_t run_analyse(const AnalyseOptions& options, std::FILE* out) {
  const FILTER_DLL& table = *GetFilterTable();
  check_filter_table(table);
  ClipInput input(options.input, options.yc48_size, Rational{25, 1});
  const VideoFormat& format = input.format();
  AnalysisOptions analysis;
  // The fields are measured apart when a run would process them apart: as
  // told, else as the header says, else as the module's default has it.
  analysis.fields = options.field_given                           ? options.field
                    : format.interlaced_layout()                  ? true
                    : format.interlace == Interlace::kProgressive ? false
                                                                  : table.check_default[kCheckFieldMode] == 1;
  ClipAnalyser analyser(format,
                        input.kind() == ClipKind::kYc48 ? PayloadLayout::kHostPixels : PayloadLayout::kPlanarSamples,
                        analysis);
  ScenePrinter printer(out, options.json, table);
  printer.begin(input.name(), format, analysis.fields);
  std::vector<uint8_t> payload(input.payload_bytes());
  int64_t printed = 0;
  auto print_closed = [&] {
    // A scene is final once the next has started (or the clip ended).
    while (printed - analyser.scenes_before() < int64_t(analyser.scenes().size())) {
      const Scene& scene = analyser.scenes()[size_t(printed - analyser.scenes_before())];
      if (scene.end < 0 || !scene.measured) break;
      printer.scene(printed, scene);
      ++printed;
    }
    analyser.forget_before(analyser.decided() - 1);
  };
  while (input.read_payload(payload.data())) {
    analyser.add_frame(payload.data());
    print_closed();
  }
  analyser.finish();
  print_closed();
  input.close(true);
  if (analyser.frames_added() == 0) throw ToolError(options.input, "the clip has no frames");
  printer.end(analyser.frames_added());
  return printed;
}
