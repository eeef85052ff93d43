#include "cli/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>

#include "cli/clip_io/ffmpeg_pipe.h"
#include "cli/tool_error.h"

const char* const kTrackOptionNames[kTrackCount] = {
    "--frame",  "--w3dyl",  "--w3dyh",  "--w2dy",  "--w3dcl",  "--w3dch",
    "--w2dc",   "--cce-cl", "--gain-y", "--ofs-y", "--gain-cb", "--gain-cr",
    "--hue",    "--gamma-cbcr", "--mosq-nr", "--block-nr"};

const char* const kCheckOptionNames[kCheckCount] = {"--field", "--anime", "--cross-colour",
                                                    "--mosquito", "--block"};

namespace {

// What each setting does, for --help (the table's labels are in the host's
// code page and are not printed as they are).
const char* const kTrackHelp[kTrackCount] = {
    "Frame: temporal radius; the window holds 2 x radius + 1 frames",
    "W3DYL: luma temporal threshold, coarsest band",
    "W3DYH: luma temporal threshold, detail bands",
    "W2DY: luma spatial coring (0 = off)",
    "W3DCL: chroma temporal threshold, coarsest band",
    "W3DCH: chroma temporal threshold, detail bands",
    "W2DC: chroma spatial coring (0 = off)",
    "CCE-CL: strength of the cross-colour reduction",
    "GainY: luma gain, (200 + value) / 200",
    "Ofs-Y: luma offset, value x 16 host units",
    "GainCb: Cb gain, (200 + value) / 200",
    "GainCr: Cr gain, (200 + value) / 200",
    "Hue: hue rotation, value / 180 radian",
    "gamma CbCr: chroma gamma, exponent 100 / (100 + value)",
    "MosqNR: strength of the mosquito noise reduction",
    "BlockNR: strength of the block noise reduction",
};
const char* const kCheckHelp[kCheckCount] = {
    ("process the two fields separately (default: on for It/Ib input, off for Ip, else the "
     "module's default)"),
    "anime mode",
    "simple cross-colour reduction",
    "mosquito noise reduction",
    "block noise reduction",
};

[[noreturn]] void usage_error(const std::string& option, const std::string& problem) {
  throw ToolError(option, problem, 2);
}

bool parse_integer(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// --simd: a level by name; 1 and 2, the names of SSE and SSE3 in earlier
// versions, are still accepted.
KernelLevel kernel_level_named(const std::string& text) {
  for (KernelLevel level : {KernelLevel::kPlain, KernelLevel::kSse, KernelLevel::kSse3,
                            KernelLevel::kAvx2}) {
    if (text == kernel_level_name(level)) return level;
  }
  return text == "1" ? KernelLevel::kSse : KernelLevel::kSse3;
}

std::string with_range(const FILTER_DLL& table, int track) {
  return " [" + std::to_string(table.track_s[track]) + ".." + std::to_string(table.track_e[track]) +
         ", default " + std::to_string(table.track_default[track]) + "]";
}

// The value of a flag written as --flag=VALUE: 1, 0 or -1 when it is
// neither a yes nor a no.
int flag_value(const std::string& text) {
  static const char* const kYes[] = {"1", "true", "on", "yes"};
  static const char* const kNo[] = {"0", "false", "off", "no"};
  for (const char* word : kYes) {
    if (text == word) return 1;
  }
  for (const char* word : kNo) {
    if (text == word) return 0;
  }
  return -1;
}

// The arguments as the parser should see them. "--flag=VALUE" becomes
// "--flag" or "--no-flag" (a value that is neither yes nor no is an error
// naming the flag, where the parser would accept any number or fail with a
// message of its own); "--option=" with nothing after the '=' is an error
// rather than an empty value or a value taken from the next argument.
std::vector<std::string> normalised_arguments(int argc, const char* const* argv) {
  std::vector<std::string> flags;
  for (int i = 0; i < kCheckCount; ++i) flags.push_back(kCheckOptionNames[i]);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--") {
      for (; i < argc; ++i) args.push_back(argv[i]);
      break;
    }
    size_t equals = arg.find('=');
    if (i == 0 || arg.rfind("--", 0) != 0 || equals == std::string::npos) {
      args.push_back(arg);
      continue;
    }
    const std::string name = arg.substr(0, equals), value = arg.substr(equals + 1);
    if (value.empty()) usage_error(name, "needs a value after '='");
    bool negated = name.rfind("--no-", 0) == 0;
    const std::string positive = negated ? "--" + name.substr(5) : name;
    const bool is_flag = std::find(flags.begin(), flags.end(), positive) != flags.end() ||
                         name == "--progress" || name == "--quiet";
    if (!is_flag) {
      args.push_back(arg);
      continue;
    }
    int on = flag_value(value);
    if (on < 0) usage_error(name, "takes no value, or one of 1, 0, true, false, on, off, yes, no; got '" + value + "'");
    if (name == "--progress" || name == "--quiet") {
      if (on) args.push_back(name);
      continue;
    }
    args.push_back((on != 0) != negated ? positive : "--no-" + positive.substr(2));
  }
  return args;
}

// An integer option's check: a number in low..high.
CLI::Validator integer_in(int64_t low, int64_t high) {
  return CLI::Validator(
      [low, high](std::string& value) -> std::string {
        int64_t v = 0;
        if (!parse_integer(value, v)) return "expected an integer, got '" + value + "'";
        if (v < low || v > high) {
          return value + " is out of range " + std::to_string(low) + ".." + std::to_string(high);
        }
        return "";
      },
      "", "");
}

}  // namespace

bool is_threshold_track(int track) { return track >= 1 && track <= 6; }

const char* preset_name(Preset preset) {
  switch (preset) {
    case Preset::kAuto: return "auto";
    case Preset::kNone: return "none";
    case Preset::kLight: return "light";
    case Preset::kStrong: return "strong";
  }
  return "?";
}

const char* motion_name(MotionMode motion) {
  switch (motion) {
    case MotionMode::kDefault: return "";
    case MotionMode::kOff: return "off";
    case MotionMode::kGlobal: return "global";
    case MotionMode::kLocal: return "local";
    case MotionMode::kAuto: return "auto";
  }
  return "?";
}

std::string motion_option(MotionMode motion) { return std::string(" --motion ") + motion_name(motion); }

void check_filter_table(const FILTER_DLL& table) {
  if (table.track_n != kTrackCount || table.check_n != kCheckCount || !table.track_default ||
      !table.track_s || !table.track_e || !table.check_default) {
    throw ToolError("quietloom", "the module's plug-in table declares " +
                                     std::to_string(table.track_n) + " tracks and " +
                                     std::to_string(table.check_n) +
                                     " checks; this tool knows 16 and 5");
  }
}

DenoiseOptions default_denoise_options(const FILTER_DLL& table) {
  check_filter_table(table);
  DenoiseOptions options;
  for (int i = 0; i < kTrackCount; ++i) options.tracks[size_t(i)] = table.track_default[i];
  for (int i = 0; i < kCheckCount; ++i) options.checks[size_t(i)] = table.check_default[i];
  return options;
}

FrameSize parse_frame_size(const std::string& option, const std::string& text) {
  size_t x = text.find('x');
  int64_t w = 0, h = 0;
  if (x == std::string::npos || !parse_integer(std::string_view(text).substr(0, x), w) ||
      !parse_integer(std::string_view(text).substr(x + 1), h) || w <= 0 || h <= 0) {
    usage_error(option, "expected WIDTHxHEIGHT, got '" + text + "'");
  }
  if (w > kMaxWidth || h > kMaxHeight) {
    usage_error(option, text + " is above the largest frame the filter processes (1920x1088)");
  }
  if (w < kMinWidth || h < kMinHeight) {
    usage_error(option, text + " is below the smallest frame the tool processes (16x16)");
  }
  return {int(w), int(h)};
}

Rational parse_rate(const std::string& option, const std::string& text) {
  size_t colon = text.find(':');
  Rational rate{0, 1};
  std::string_view view(text);
  bool ok = colon == std::string::npos
                ? parse_integer(view, rate.num)
                : parse_integer(view.substr(0, colon), rate.num) &&
                      parse_integer(view.substr(colon + 1), rate.den);
  if (!ok || rate.num <= 0 || rate.den <= 0) usage_error(option, "expected N or N:D, got '" + text + "'");
  // A YUV4MPEG2 header holds at most nine digits on either side; a rate the
  // tool writes must be one it (and others) can read back.
  if (rate.num > kMaxRateTerm || rate.den > kMaxRateTerm) {
    usage_error(option, "N and D must be at most " + std::to_string(kMaxRateTerm) + ", got '" + text + "'");
  }
  return rate;
}

void parse_range(const std::string& text, int64_t& first, int64_t& end) {
  size_t colon = text.find(':');
  std::string_view view(text);
  if (colon == std::string::npos || !parse_integer(view.substr(0, colon), first) || first < 0) {
    usage_error("--range", "expected A:B or A: with 0 <= A < B, got '" + text + "'");
  }
  if (colon + 1 == text.size()) {
    end = -1;
    return;
  }
  if (!parse_integer(view.substr(colon + 1), end) || end <= first) {
    usage_error("--range", "expected A:B or A: with 0 <= A < B, got '" + text + "'");
  }
}

PreviewRequest parse_preview(const std::string& text) {
  size_t colon = text.find(':');
  PreviewRequest request;
  if (colon == std::string::npos || !parse_integer(std::string_view(text).substr(0, colon), request.frame) ||
      request.frame < 0 || colon + 1 == text.size()) {
    usage_error("--preview", "expected N:FILE.png, got '" + text + "'");
  }
  request.path = text.substr(colon + 1);
  return request;
}

CommandLine parse_command_line(int argc, const char* const* argv, const FILTER_DLL& table,
                               std::FILE* out, std::FILE* err) {
  CommandLine result;
  DenoiseOptions& denoise = result.denoise;
  denoise = default_denoise_options(table);

  CLI::App app("Denoises video through the Quietloom module in a stand-in host.", "quietloom");
  app.set_version_flag("--version", std::string("quietloom ") + QUIETLOOM_VERSION);
  app.require_subcommand(0, 1);
  app.add_option("INPUT", denoise.input, "input clip: .y4m, .yc48, '-' (y4m on stdin) or any file ffmpeg reads");
  app.add_option("OUTPUT", denoise.output, "output clip: .y4m, .yc48, '-' (y4m on stdout) or any file ffmpeg writes");

  CLI::Option* track_options[kTrackCount];
  for (int i = 0; i < kTrackCount; ++i) {
    const int low = table.track_s[i];
    const int high = is_threshold_track(i) ? kMaxThresholdTrack : table.track_e[i];
    const std::string name = kTrackOptionNames[i];
    std::string help = std::string(kTrackHelp[i]) + with_range(table, i);
    if (is_threshold_track(i)) help += "; up to 300, scaled past 30";
    track_options[i] = app.add_option(name, denoise.tracks[size_t(i)], help)
                           ->type_name("N")
                           ->group("Settings")
                           ->check(integer_in(low, high));
  }
  CLI::Option* check_options[kCheckCount];
  for (int i = 0; i < kCheckCount; ++i) {
    const std::string name = kCheckOptionNames[i];
    const std::string negated = "--no-" + name.substr(2);
    check_options[i] = app.add_flag_function(
        name + ",!" + negated,
        [&denoise, i](int64_t count) { denoise.checks[size_t(i)] = count > 0 ? 1 : 0; },
        std::string(kCheckHelp[i]) + (i == kCheckFieldMode ? "" : table.check_default[i] == 1 ? " (default on)" : " (default off)"));
    check_options[i]->group("Settings")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }

  std::string preset_text = "auto";
  app.add_option("--preset", preset_text,
                 "where the settings come from: auto = measured from each scene (default), none = the "
                 "module's defaults, light or strong = fixed settings for light or heavy noise; the "
                 "setting options given override it")
      ->type_name("P")
      ->group("Settings")
      ->check(CLI::IsMember({"auto", "none", "light", "strong"}));
  std::string motion_text;
  app.add_option("--motion", motion_text,
                 "motion-compensated window: off, global (the camera's translation, lined up to a fraction "
                 "of a sample), local (global, then 16x16 blocks moved by their own whole-sample vectors), "
                 "auto (local where the scene's camera moves; the default under every preset "
                 "but none, where it is off)")
      ->type_name("M")
      ->group("Settings")
      ->check(CLI::IsMember({"off", "global", "local", "auto"}));
  app.add_option("--strength", denoise.strength,
                 "factor on the noise thresholds of the settings (W3DYL, W3DYH, W2DY, W3DCL, W3DCH, "
                 "W2DC), beyond the tracks' range too [0.1..10, default 1]")
      ->type_name("X")
      ->group("Settings")
      ->check(CLI::Range(0.1, 10.0));

  std::string range_text, preview_text, size_text, fps_text, encoder_text, simd_text;
  app.add_option("--threads", denoise.threads, "worker threads of the host (default: one per core)")
      ->check(integer_in(1, 256));
  app.add_option("--simd", simd_text,
                 "kernel forms: plain, sse, sse3 or avx2 (default: the highest the processor "
                 "allows)")
      ->type_name("LEVEL")
      ->check(CLI::IsMember({"plain", "sse", "sse3", "avx2", "1", "2"}));
  app.add_option("--range", range_text, "write only output frames A..B-1 ('A:' = from A to the end)")
      ->type_name("A:B");
  app.add_option("--preview", preview_text, "write a PNG of frame N: input, output, amplified difference")
      ->type_name("N:FILE.png");
  app.add_option("--size", size_text, "frame size of .yc48 input")->type_name("WxH");
  app.add_option("--fps", fps_text, "frame rate written for .yc48 input (default 25)")->type_name("N[:D]");
  app.add_option("--encoder-args", encoder_text, "ffmpeg output arguments for a non-y4m OUTPUT, e.g. \"-c:v libx264 -crf 16\"")
      ->type_name("ARGS");
  CLI::Option* progress = app.add_flag("--progress", denoise.force_progress, "show progress even when stderr is not a terminal");
  app.add_flag("--quiet,-q", denoise.quiet, "no progress display")->excludes(progress);

  CLI::App* compare = app.add_subcommand("compare", "print PSNR and SSIM per plane and overall between two clips (y4m or yc48)");
  compare->add_option("A", result.compare.first, "first clip")->required();
  compare->add_option("B", result.compare.second, "second clip")->required();
  std::string compare_size;
  compare->add_option("--size", compare_size, "frame size of .yc48 clips")->type_name("WxH");

  CLI::App* analyse = app.add_subcommand(
      "analyse", "print each scene's frames, noise per plane, motion and the settings auto would use");
  analyse->add_option("INPUT", result.analyse.input, "input clip, as for denoising")->required();
  analyse->add_flag("--json", result.analyse.json, "JSON for programs instead of a table");
  std::string analyse_size;
  analyse->add_option("--size", analyse_size, "frame size of .yc48 input")->type_name("WxH");
  CLI::Option* analyse_field =
      analyse->add_flag("--field,!--no-field", result.analyse.field,
                        "the fields are processed separately (default: from the clip's header)");

  app.add_option("--settings", denoise.settings_plan,
                 "take the scenes and their settings from a plan made by 'quietloom plan --save' instead "
                 "of measuring: a --range run then reads only the frames its range needs")
      ->type_name("PLAN.json")
      ->group("Settings");

  CLI::App* plan = app.add_subcommand(
      "plan", "split a clip into parts for runs on many machines, aligned on scene cuts: prints one A:B range a line");
  plan->add_option("INPUT", result.plan.input, "input clip, as for denoising")->required();
  CLI::Option* plan_parts = plan->add_option("--parts", result.plan.parts, "the number of parts")
                                ->type_name("N")
                                ->check(integer_in(1, 1000000));
  CLI::Option* plan_part_frames = plan->add_option("--part-frames", result.plan.part_frames, "frames of each part")
                                      ->type_name("K")
                                      ->check(integer_in(1, INT64_MAX / 4))
                                      ->excludes(plan_parts);
  plan->add_flag("--json", result.plan.json, "print the whole plan as JSON instead of the ranges");
  plan->add_option("--save", result.plan.save, "also write the plan, as JSON, for --settings")->type_name("PLAN.json");
  std::string plan_size;
  plan->add_option("--size", plan_size, "frame size of .yc48 input")->type_name("WxH");
  CLI::Option* plan_field = plan->add_flag("--field,!--no-field", result.plan.field,
                                           "the fields are processed separately (as for denoising)");
  plan->add_flag("--quiet,-q", result.plan.quiet, "do not list the scenes on standard error");

  CLI::App* join = app.add_subcommand(
      "join", "write the y4m parts of --range runs as one clip, after checking that they belong together");
  std::vector<std::string> join_files;
  join->add_option("FILES", join_files, "PART... OUTPUT: the parts in any order, then the output (.y4m or '-')")
      ->required();

  CLI::App* demo = app.add_subcommand("demo", "generate a noisy test clip, denoise it and report the gain");
  demo->add_option("DIR", result.demo.directory, "where to write the clips and the preview (default ./quietloom-demo)");
  demo->add_option("--threads", result.demo.threads, "worker threads of the host")->check(integer_in(1, 256));

  try {
    std::vector<std::string> args = normalised_arguments(argc, argv);
    // CLI11 takes the arguments last first.
    std::reverse(args.begin(), args.end());
    args.pop_back();  // the program's name
    app.parse(args);
  } catch (const ToolError& e) {
    std::fprintf(err, "quietloom: %s\n", e.what());
    result.exit_status = e.exit_status();
    return result;
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), out);
    return result;
  } catch (const CLI::CallForVersion& e) {
    std::fprintf(out, "%s\n", e.what());
    return result;
  } catch (const CLI::ParseError& e) {
    std::fprintf(err, "quietloom: %s (see quietloom --help)\n", printable(e.what()).c_str());
    result.exit_status = 2;
    return result;
  } catch (const std::exception& e) {
    // A value the parser could not convert, with a message that names
    // nothing: the options are checked above, so this is a safety net.
    std::fprintf(err, "quietloom: bad option value (%s; see quietloom --help)\n", printable(e.what()).c_str());
    result.exit_status = 2;
    return result;
  }

  try {
    // A clip or a setting given with a command would be ignored by it.
    if (compare->parsed() || demo->parsed() || analyse->parsed() || plan->parsed() || join->parsed()) {
      const std::string command = compare->parsed()   ? "compare"
                                  : analyse->parsed() ? "analyse"
                                  : plan->parsed()    ? "plan"
                                  : join->parsed()    ? "join"
                                                      : "demo";
      if (!denoise.input.empty()) {
        usage_error(denoise.input, "a clip cannot be given with the '" + command + "' command (see quietloom --help)");
      }
      for (const CLI::Option* option : app.get_options()) {
        if (option->count() > 0 && option->get_name() != "--help" && option->get_name() != "--version") {
          usage_error(option->get_name(), "does not apply to the '" + command + "' command; give it after the command if it takes it");
        }
      }
    }
    if (compare->parsed()) {
      if (!compare_size.empty()) result.compare.yc48_size = parse_frame_size("--size", compare_size);
      result.command = Command::kCompare;
      return result;
    }
    if (demo->parsed()) {
      result.command = Command::kDemo;
      return result;
    }
    if (analyse->parsed()) {
      if (!analyse_size.empty()) result.analyse.yc48_size = parse_frame_size("--size", analyse_size);
      result.analyse.field_given = analyse_field->count() > 0;
      result.command = Command::kAnalyse;
      return result;
    }
    if (plan->parsed()) {
      if (plan_parts->count() == 0 && plan_part_frames->count() == 0) {
        usage_error("plan", "needs --parts N or --part-frames K");
      }
      if (!plan_size.empty()) result.plan.yc48_size = parse_frame_size("--size", plan_size);
      result.plan.field_given = plan_field->count() > 0;
      result.command = Command::kPlan;
      return result;
    }
    if (join->parsed()) {
      if (join_files.size() < 2) usage_error("join", "needs at least one part and the output: PART... OUTPUT");
      result.join.output = join_files.back();
      join_files.pop_back();
      result.join.parts = join_files;
      result.command = Command::kJoin;
      return result;
    }
    if (denoise.input.empty() || denoise.output.empty()) {
      usage_error("INPUT OUTPUT", "both are required, or a command: compare, analyse, plan, join, demo (see quietloom --help)");
    }
    denoise.field_given = check_options[kCheckFieldMode]->count() > 0;
    for (int i = 0; i < kTrackCount; ++i) denoise.track_given[size_t(i)] = track_options[i]->count() > 0;
    for (int i = 0; i < kCheckCount; ++i) denoise.check_given[size_t(i)] = check_options[i]->count() > 0;
    for (MotionMode m : {MotionMode::kOff, MotionMode::kGlobal, MotionMode::kLocal, MotionMode::kAuto}) {
      if (motion_text == motion_name(m)) denoise.motion = m;
    }
    denoise.preset = preset_text == "none"    ? Preset::kNone
                     : preset_text == "light" ? Preset::kLight
                     : preset_text == "strong" ? Preset::kStrong
                                               : Preset::kAuto;
    if (!simd_text.empty()) denoise.simd = kernel_level_named(simd_text);
    if (!range_text.empty()) parse_range(range_text, denoise.range_first, denoise.range_end);
    if (!denoise.settings_plan.empty() && denoise.preset == Preset::kNone) {
      usage_error("--settings", "gives scenes, which --preset none does not use");
    }
    if (!preview_text.empty()) denoise.preview = parse_preview(preview_text);
    if (!size_text.empty()) denoise.yc48_size = parse_frame_size("--size", size_text);
    if (!fps_text.empty()) {
      denoise.yc48_rate = parse_rate("--fps", fps_text);
      denoise.yc48_rate_given = true;
    }
    denoise.encoder_args = split_arguments(encoder_text);
  } catch (const ToolError& e) {
    std::fprintf(err, "quietloom: %s\n", e.what());
    result.exit_status = e.exit_status();
    return result;
  }
  result.command = Command::kDenoise;
  return result;
}
