#pragma once
// An input opened once and told apart by its first bytes and its name: the
// reader (y4m, raw host frames, or ffmpeg) that it goes to. The bytes read
// to tell are kept and handed on with the rest of the stream, so that a
// pipe, a FIFO or a process substitution is read exactly once.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/clip_io/file_identity.h"

enum class ClipKind { kY4m, kYc48, kFfmpeg };

struct SniffedInput {
  std::string name;
  int fd = -1;            // owned until handed on
  bool regular = false;   // a regular file (its size is known, it can be seeked)
  int64_t size = -1;      // of a regular file
  FileIdentity identity;  // from the opened descriptor
  std::string head;       // the first bytes, already read from fd
  ClipKind kind = ClipKind::kY4m;
};

// Opens `path` ('-': standard input, which must be neither closed nor a
// terminal) and reads its first bytes: those starting with the YUV4MPEG2
// signature are y4m whatever the name, then names ending in .yc48 are raw
// host frames, .y4m y4m (reported as malformed by the reader), anything
// else goes through ffmpeg. '-' is always y4m. A ToolError names a file
// that cannot be opened or is a folder.
SniffedInput open_and_sniff(const std::string& path);

// A stream that gives the kept first bytes and then the rest of the file;
// it owns input.fd from now on (closed with the stream).
std::FILE* stream_with_head(SniffedInput& input);

// Whether the name ends in `extension` (".y4m"), in any letter case.
bool has_extension(const std::string& path, const char* extension);
