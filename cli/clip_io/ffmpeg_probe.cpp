#include "cli/clip_io/ffmpeg_probe.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>

#include "cli/clip_io/ffmpeg_pipe.h"
#include "cli/tool_error.h"

namespace {

bool parse_ratio(const std::string& text, Rational& ratio) {
  size_t slash = text.find_first_of("/:");
  if (slash == std::string::npos) return false;
  int64_t num = 0, den = 0;
  auto a = std::from_chars(text.data(), text.data() + slash, num);
  auto b = std::from_chars(text.data() + slash + 1, text.data() + text.size(), den);
  if (a.ec != std::errc() || b.ec != std::errc() || num <= 0 || den <= 0) return false;
  ratio = {num, den};
  return true;
}

std::string known(const std::string& tag) { return tag == "unknown" || tag == "reserved" ? "" : tag; }

}  // namespace

std::optional<ProbedVideo> probe_video(const std::string& path) {
  std::string ffprobe = find_on_path("ffprobe");
  if (ffprobe.empty()) return std::nullopt;
  std::string text;
  try {
    ChildPipe child = start_ffprobe(ffprobe, path);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, child.pipe())) > 0) text.append(buffer, got);
    child.finish(path);
  } catch (const ToolError&) {
    return std::nullopt;
  }
  std::map<std::string, std::string> fields;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    size_t equals = line.find('=');
    if (equals != std::string::npos && !fields.count(line.substr(0, equals))) {
      fields[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  ProbedVideo video;
  auto number = [&](const char* key, int& out) {
    const std::string& v = fields[key];
    return std::from_chars(v.data(), v.data() + v.size(), out).ec == std::errc();
  };
  if (!number("width", video.width) || !number("height", video.height)) return std::nullopt;
  video.pixel_format = fields["pix_fmt"];
  if (!parse_ratio(fields["r_frame_rate"], video.rate)) parse_ratio(fields["avg_frame_rate"], video.rate);
  parse_ratio(fields["sample_aspect_ratio"], video.aspect);
  video.field_order = fields["field_order"];
  video.colour_range = fields["color_range"];
  video.matrix = known(fields["color_space"]);
  video.primaries = known(fields["color_primaries"]);
  video.transfer = known(fields["color_transfer"]);
  return video;
}

std::optional<std::pair<std::string, VideoFormat>> raw_layout_for(const ProbedVideo& video) {
  const std::string& pix = video.pixel_format;
  const bool is_420 = pix.rfind("yuv420p", 0) == 0 || pix.rfind("yuvj420p", 0) == 0;
  const bool is_422 = pix.rfind("yuv422p", 0) == 0 || pix.rfind("yuvj422p", 0) == 0;
  // Deeper than 8 bits: the name goes on with the depth ("yuv420p10le").
  const size_t depth_at = pix.find('p') + 1;
  const bool deep = depth_at < pix.size() && std::isdigit(static_cast<unsigned char>(pix[depth_at]));
  if (!(is_420 || is_422) || !deep || video.width % 2 == 0 || video.rate.num == 0) return std::nullopt;
  VideoFormat format;
  format.width = video.width;
  format.height = video.height;
  format.chroma = is_420 ? ChromaFormat::k420 : ChromaFormat::k422;
  format.bit_depth = 10;
  format.chroma_tag = is_420 ? "420p10" : "422p10";
  format.frame_rate = video.rate;
  if (video.aspect.num > 0) {
    format.aspect = video.aspect;
    format.aspect_stated = true;
  }
  if (video.field_order == "progressive") format.interlace = Interlace::kProgressive;
  else if (video.field_order == "tt") format.interlace = Interlace::kTopFirst;
  else if (video.field_order == "bb") format.interlace = Interlace::kBottomFirst;
  if (video.colour_range == "pc" || video.colour_range == "tv") {
    format.full_range = video.colour_range == "pc";
    format.range_stated = true;
  }
  return std::make_pair(std::string(is_420 ? "yuv420p10le" : "yuv422p10le"), format);
}

void take_colour_tags(const ProbedVideo& video, VideoFormat& format) {
  format.colour_matrix = video.matrix;
  format.colour_primaries = video.primaries;
  format.colour_transfer = video.transfer;
}
