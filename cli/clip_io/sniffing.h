#pragma once
// What kind of clip a file holds, told by its first bytes and its name: the
// reader (y4m, raw host frames, or ffmpeg) that an input goes to.
#include <string>

enum class ClipKind { kY4m, kYc48, kFfmpeg };

// '-' and files that start with the YUV4MPEG2 signature are y4m, names
// ending in .yc48 raw host frames, anything else goes through ffmpeg.
ClipKind input_kind(const std::string& path);

// Whether the name ends in `extension` (".y4m"), in any letter case.
bool has_extension(const std::string& path, const char* extension);
