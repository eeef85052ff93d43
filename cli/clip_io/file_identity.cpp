#include "cli/clip_io/file_identity.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/standard_streams.h"
#include "cli/tool_error.h"

namespace {

FileIdentity from_stat(const struct stat& info) {
  return FileIdentity{info.st_dev, info.st_ino, true};
}

std::string parent_of(const std::string& path) {
  std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// Where a file that does not exist yet will be: its folder and its name.
struct Location {
  FileIdentity folder;
  std::string name;
};

Location location_of(const std::string& path) {
  return Location{identity_of_path(parent_of(path)), std::filesystem::path(path).filename().string()};
}

// A target in a folder with the sticky bit can be replaced only by its
// owner, the folder's owner or root; a rename there would fail only after
// all the work.
void check_replaceable(const OutputTarget& target, const struct stat& info) {
  const std::string folder = parent_of(target.path);
  struct stat folder_info;
  if (stat(folder.c_str(), &folder_info) != 0) return;  // reported when the file is made
  const uid_t me = geteuid();
  if ((folder_info.st_mode & S_ISVTX) && me != 0 && info.st_uid != me && folder_info.st_uid != me) {
    throw ToolError(target.name, "cannot be replaced: its folder is sticky and the file belongs to someone else");
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw ToolError(target.name, "cannot be replaced: its folder " + folder + " is not writable (" +
                                     std::strerror(errno) + ")");
  }
}

}  // namespace

FileIdentity identity_of_descriptor(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return {};
  return from_stat(info);
}

FileIdentity identity_of_path(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return {};
  return from_stat(info);
}

std::vector<OutputTarget> plan_outputs(const std::string& input_name, const FileIdentity& input,
                                       const std::vector<std::string>& outputs) {
  const FileIdentity standard_output = identity_of_descriptor(STDOUT_FILENO);
  std::vector<OutputTarget> targets;
  std::vector<FileIdentity> identities;  // of the outputs that exist
  std::vector<Location> locations;       // of those that do not
  for (const std::string& name : outputs) {
    OutputTarget target;
    target.name = name;
    target.path = name;
    FileIdentity identity;
    Location location;
    struct stat info;
    if (name == "-") {
      target.kind = TargetKind::kStandardOutput;
      identity = standard_output;
      if (standard_stream_was_closed(STDOUT_FILENO)) throw ToolError("-", "standard output is closed");
      if (isatty(STDOUT_FILENO)) {
        throw ToolError("-", "standard output is a terminal; refusing to write video to it");
      }
    } else if (stat(name.c_str(), &info) == 0) {
      identity = from_stat(info);
      if (S_ISDIR(info.st_mode)) throw ToolError(name, "is a directory");
      if (identity == standard_output) {
        target.kind = TargetKind::kStandardOutput;
      } else if (S_ISREG(info.st_mode)) {
        target.kind = TargetKind::kReplace;
        target.mode = info.st_mode & 07777;
        // A link is written through: its target is replaced, the link stays.
        char resolved[PATH_MAX];
        if (realpath(name.c_str(), resolved)) target.path = resolved;
        check_replaceable(target, info);
      } else {
        target.kind = TargetKind::kDirect;  // a terminal is refused when it is opened
      }
    } else if (errno != ENOENT) {
      throw ToolError(name, std::strerror(errno));
    } else {
      // A link to a file not made yet is written through too: the file is
      // made where the link points.
      struct stat link_info;
      std::error_code error;
      if (lstat(name.c_str(), &link_info) == 0 && S_ISLNK(link_info.st_mode)) {
        std::filesystem::path pointed = std::filesystem::read_symlink(name, error);
        if (!error) {
          target.path = pointed.is_absolute() ? pointed.string()
                                              : (std::filesystem::path(parent_of(name)) / pointed).string();
        }
      }
      location = location_of(target.path);
    }
    if (identity.known && identity == input) {
      throw ToolError(name, name == "-" || target.kind == TargetKind::kStandardOutput
                                ? "standard output is the input file " + input_name + "; write the output elsewhere"
                                : "is the input file; write the output elsewhere");
    }
    for (size_t i = 0; i < targets.size(); ++i) {
      bool same = identity.known ? identity == identities[i]
                                 : location.folder == locations[i].folder && location.name == locations[i].name;
      if (same) throw ToolError(name, "is also " + targets[i].name + "; every output needs a file of its own");
    }
    targets.push_back(target);
    identities.push_back(identity);
    locations.push_back(location);
  }
  return targets;
}
