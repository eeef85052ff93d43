#pragma once
// Which files a run reads and writes. A file is known by its device and
// inode, taken with fstat from the opened descriptor for the input and for
// standard input and output, and with stat for the outputs' paths, so that
// no name, link, hard link or redirection can make an output of the input
// or of another output.
#include <string>
#include <sys/types.h>
#include <vector>

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;
  bool operator==(const FileIdentity& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};

FileIdentity identity_of_descriptor(int fd);
FileIdentity identity_of_path(const std::string& path);  // follows links

// How an output is written.
enum class TargetKind {
  kStandardOutput,  // "-", or a name for the file that standard output is
  kNewFile,         // a regular file made under a temporary name, then renamed
  kReplace,         // the same over an existing regular file, keeping its mode
  kDirect,          // a FIFO or a device: opened and written in place
};

struct OutputTarget {
  std::string name;  // as given, for messages
  std::string path;  // where it is written: a link's target for a link
  TargetKind kind = TargetKind::kNewFile;
  mode_t mode = 0;   // the permissions of the file replaced
  bool temporary() const { return kind == TargetKind::kNewFile || kind == TargetKind::kReplace; }
};

// Checks every output before anything is opened for writing: none may be
// the input (`input` is its identity, from the opened descriptor) or the
// same file as another output, a directory, or a terminal, and the folder
// of a file to be replaced must let it be replaced. A failure is a
// ToolError naming the output.
std::vector<OutputTarget> plan_outputs(const std::string& input_name, const FileIdentity& input,
                                       const std::vector<std::string>& outputs);
