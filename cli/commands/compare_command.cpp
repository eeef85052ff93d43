#include "cli/commands/compare_command.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>

#include "cli/clip_io/sniffing.h"
#include "cli/tool_error.h"
#include "cli/clip_io/y4m_reader.h"
#include "cli/clip_io/yc48_io.h"

namespace {

// A clip opened once, its kind told by its first bytes.
struct OpenFile {
  SniffedInput sniffed;
  std::FILE* file = nullptr;
  explicit OpenFile(const std::string& path) : sniffed(open_and_sniff(path)) {
    if (sniffed.kind == ClipKind::kFfmpeg) {
      if (sniffed.fd > 2) close(sniffed.fd);
      throw ToolError(path, "compare reads .y4m and .yc48 clips only");
    }
    file = stream_with_head(sniffed);
  }
  ~OpenFile() { std::fclose(file); }
};

bool same_layout(const VideoFormat& a, const VideoFormat& b) {
  return a.width == b.width && a.height == b.height && a.chroma == b.chroma &&
         a.bit_depth == b.bit_depth;
}

std::string describe(const VideoFormat& f) {
  return std::to_string(f.width) + "x" + std::to_string(f.height) + " C" + f.chroma_tag;
}

}  // namespace

std::string format_psnr(double psnr) {
  if (std::isinf(psnr)) return "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", psnr);
  return text;
}

CompareResult compare_clips(const CompareOptions& options, std::FILE* err) {
  const std::string& a_name = options.first;
  const std::string& b_name = options.second;
  if (a_name == "-" && b_name == "-") throw ToolError("-", "only one clip can come from standard input");
  OpenFile a_file(a_name), b_file(b_name);
  const ClipKind a_kind = a_file.sniffed.kind, b_kind = b_file.sniffed.kind;
  if (a_kind != b_kind) throw ToolError(b_name, "is not of the same kind as " + a_name + " (y4m and yc48)");
  CompareResult result;
  int64_t a_more = 0, b_more = 0;  // frames past the shared ones

  if (a_kind == ClipKind::kY4m) {
    Y4mReader a(a_file.file, a_name), b(b_file.file, b_name);
    if (!same_layout(a.format(), b.format())) {
      throw ToolError(b_name, describe(b.format()) + " does not match " + a_name + " (" +
                                  describe(a.format()) + ")");
    }
    const VideoFormat& format = a.format();
    result.metrics = QualityMetrics(format.max_sample());
    PlanarFrame fa, fb;
    while (true) {
      bool got_a = a.read_frame(fa), got_b = b.read_frame(fb);
      if (!got_a || !got_b) {
        if (got_a) a_more = 1 + [&] { int64_t n = 0; while (a.skip_frame()) ++n; return n; }();
        if (got_b) b_more = 1 + [&] { int64_t n = 0; while (b.skip_frame()) ++n; return n; }();
        break;
      }
      for (int p = 0; p < 3; ++p) {
        int w = p == 0 ? format.width : format.chroma_width();
        int h = p == 0 ? format.height : format.chroma_height();
        result.metrics.add_plane(p, fa.plane[p].data(), fb.plane[p].data(), w, h, w);
      }
      ++result.frames;
    }
  } else {
    if (options.yc48_size.width == 0) throw ToolError(a_name, "raw .yc48 frames need --size WxH", 2);
    const int w = options.yc48_size.width, h = options.yc48_size.height;
    Yc48Reader a(a_file.file, a_name, w, h), b(b_file.file, b_name, w, h);
    result.metrics = QualityMetrics(4096);
    std::vector<PIXEL_YC> fa(size_t(w) * h), fb(size_t(w) * h);
    std::vector<int16_t> pa(size_t(w) * h), pb(size_t(w) * h);
    while (true) {
      bool got_a = a.read_frame(fa.data(), w), got_b = b.read_frame(fb.data(), w);
      if (!got_a || !got_b) {
        if (got_a) a_more = 1 + [&] { int64_t n = 0; while (a.skip_frame()) ++n; return n; }();
        if (got_b) b_more = 1 + [&] { int64_t n = 0; while (b.skip_frame()) ++n; return n; }();
        break;
      }
      for (int p = 0; p < 3; ++p) {
        for (size_t i = 0; i < fa.size(); ++i) {
          pa[i] = p == 0 ? fa[i].y : p == 1 ? fa[i].cb : fa[i].cr;
          pb[i] = p == 0 ? fb[i].y : p == 1 ? fb[i].cb : fb[i].cr;
        }
        result.metrics.add_plane(p, pa.data(), pb.data(), w, h, w);
      }
      ++result.frames;
    }
  }
  if (result.frames == 0) throw ToolError(a_name, "no frames to compare");
  if (a_more || b_more) {
    std::fprintf(err, "quietloom: warning: %s has %lld more frames than %s; compared the first %lld\n",
                 (a_more ? a_name : b_name).c_str(), (long long)(a_more ? a_more : b_more),
                 (a_more ? b_name : a_name).c_str(), (long long)result.frames);
  }
  return result;
}

void print_comparison(const CompareResult& result, std::FILE* out) {
  static const char* const kPlaneNames[3] = {"Y", "Cb", "Cr"};
  std::fprintf(out, "frames %lld\n", (long long)result.frames);
  std::fprintf(out, "plane  PSNR(dB)  SSIM\n");
  for (int p = 0; p < 3; ++p) {
    std::fprintf(out, "%-5s  %8s  %.4f\n", kPlaneNames[p], format_psnr(result.metrics.psnr(p)).c_str(),
                 result.metrics.ssim(p));
  }
  std::fprintf(out, "%-5s  %8s  %.4f\n", "all", format_psnr(result.metrics.psnr_all()).c_str(),
               result.metrics.ssim_all());
}
