#include "cli/clip_io/file_identity.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/tool_error.h"

void check_output_target(const std::string& input, const std::string& output) {
  if (output == "-") {
    if (isatty(STDOUT_FILENO)) {
      throw ToolError("-", "standard output is a terminal; refusing to write video to it");
    }
    return;
  }
  struct stat out_info;
  if (stat(output.c_str(), &out_info) == 0) {
    if (S_ISDIR(out_info.st_mode)) throw ToolError(output, "is a directory");
    struct stat in_info;
    if (input != "-" && stat(input.c_str(), &in_info) == 0 && in_info.st_dev == out_info.st_dev &&
        in_info.st_ino == out_info.st_ino) {
      throw ToolError(output, "is the input file; write the output elsewhere");
    }
  }
  if (input != "-") {
    std::error_code error_in, error_out;
    auto a = std::filesystem::weakly_canonical(input, error_in);
    auto b = std::filesystem::weakly_canonical(output, error_out);
    if (!error_in && !error_out && a == b) {
      throw ToolError(output, "is the input file; write the output elsewhere");
    }
  }
}
