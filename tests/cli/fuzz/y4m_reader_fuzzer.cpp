// Feeds arbitrary bytes to the YUV4MPEG2 reader: it must either read frames
// or report a ToolError, never crash, read out of bounds or hang.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "cli/tool_error.h"
#include "cli/clip_io/y4m_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return 0;
  try {
    Y4mReader reader(file, "fuzz");
    PlanarFrame frame;
    // Frames are bounded by the size limit; a few are enough to cover the
    // frame marker and payload paths.
    for (int i = 0; i < 4 && reader.read_frame(frame); ++i) {
    }
  } catch (const ToolError&) {
  }
  std::fclose(file);
  return 0;
}
