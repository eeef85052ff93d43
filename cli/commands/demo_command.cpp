#include "cli/commands/demo_command.h"

#include <filesystem>
#include <string>

#include "cli/commands/compare_command.h"
#include "cli/demo_clip.h"
#include "cli/clip_io/pending_output.h"
#include "cli/commands/denoise_command.h"
#include "cli/tool_error.h"
#include "cli/clip_io/y4m_writer.h"

namespace {

constexpr int kPreviewFrame = kDemoFrames / 2;

void write_clip(const std::string& path, bool noisy) {
  PendingOutput output(plan_outputs("", FileIdentity{}, {path}).front());
  Y4mWriter writer(output.file(), path, demo_format());
  PlanarFrame clean, noisy_frame;
  for (int i = 0; i < kDemoFrames; ++i) {
    render_clean_frame(i, clean);
    if (noisy) {
      add_gaussian_noise(clean, i, kDemoSeed, noisy_frame);
      writer.write_frame(noisy_frame);
    } else {
      writer.write_frame(clean);
    }
  }
  output.commit();
}

}  // namespace

void run_demo(const DemoOptions& options, std::FILE* out) {
  std::filesystem::path dir(options.directory);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw ToolError(options.directory, "cannot create the directory: " + error.message());
  const std::string clean = (dir / "clean.y4m").string();
  const std::string noisy = (dir / "noisy.y4m").string();
  const std::string denoised = (dir / "denoised.y4m").string();
  const std::string denoised_none = (dir / "denoised-none.y4m").string();
  const std::string preview = (dir / "preview.png").string();

  std::fprintf(out, "Writing %d frames of %dx%d with Gaussian noise (sigma %.1f luma, %.1f chroma, in 8-bit codes)\n",
               kDemoFrames, demo_format().width, demo_format().height, kDemoLumaSigma / 4, kDemoChromaSigma / 4);
  write_clip(clean, false);
  write_clip(noisy, true);

  // The automatic settings, which measure the clip (and say what they chose),
  // and the module's own defaults.
  DenoiseOptions run = default_denoise_options(*GetFilterTable());
  run.input = noisy;
  run.output = denoised;
  run.threads = options.threads;
  run.preview = PreviewRequest{kPreviewFrame, preview};
  run_denoise(run);
  DenoiseOptions plain = run;
  plain.preset = Preset::kNone;
  plain.output = denoised_none;
  plain.quiet = true;
  plain.preview.reset();
  run_denoise(plain);

  CompareResult before = compare_clips({clean, noisy, {}}, stderr);
  CompareResult after = compare_clips({clean, denoised, {}}, stderr);
  CompareResult after_none = compare_clips({clean, denoised_none, {}}, stderr);
  std::fprintf(out, "\nagainst the clean clip     PSNR(dB)  SSIM    luma PSNR  gain\n");
  auto row = [&](const char* name, const CompareResult& r) {
    std::fprintf(out, "  %-24s %8s  %.4f  %8s", name, format_psnr(r.metrics.psnr_all()).c_str(), r.metrics.ssim_all(),
                 format_psnr(r.metrics.psnr(0)).c_str());
    if (&r != &before) std::fprintf(out, "  %+.2f dB", r.metrics.psnr(0) - before.metrics.psnr(0));
    std::fprintf(out, "\n");
  };
  row("noisy", before);
  row("denoised (--preset auto)", after);
  row("denoised (--preset none)", after_none);
  std::fprintf(out, "\nWrote %s, %s, %s, %s and %s (frame %d: input | output | difference x%d)\n", clean.c_str(),
               noisy.c_str(), denoised.c_str(), denoised_none.c_str(), preview.c_str(), kPreviewFrame, 8);
}
