#include "cli/commands/join_command.h"

#include <algorithm>
#include <memory>
#include <unistd.h>
#include <vector>

#include "cli/clip_io/clip_output.h"
#include "cli/clip_io/file_identity.h"
#include "cli/clip_io/part_record.h"
#include "cli/clip_io/pending_output.h"
#include "cli/clip_io/sniffing.h"
#include "cli/clip_io/y4m_reader.h"
#include "cli/clip_io/y4m_writer.h"
#include "cli/tool_error.h"

namespace {

struct Part {
  std::string name;
  SniffedInput sniffed;
  std::FILE* file = nullptr;
  std::unique_ptr<Y4mReader> reader;
  PartRecord record;
  std::string header;  // the format's header line, without the record

  Part() = default;
  Part(const Part&) = delete;
  ~Part() {
    reader.reset();
    if (file) std::fclose(file);
  }
  std::string range() const {
    return std::to_string(record.first) + ":" + (record.end >= 0 ? std::to_string(record.end) : "");
  }
  std::string shown() const { return name + " (" + range() + ")"; }
};

std::unique_ptr<Part> open_part(const std::string& name) {
  auto part = std::make_unique<Part>();
  part->name = name;
  part->sniffed = open_and_sniff(name);
  if (part->sniffed.kind != ClipKind::kY4m) {
    if (part->sniffed.fd > 2) ::close(part->sniffed.fd);
    throw ToolError(name, "not a YUV4MPEG2 stream; join takes the y4m parts of --range runs");
  }
  part->file = stream_with_head(part->sniffed);
  part->reader = std::make_unique<Y4mReader>(part->file, name);
  std::optional<PartRecord> record = find_part_record(part->reader->extra_parameters(), name);
  if (!record) throw ToolError(name, "carries no part record (parts are written as .y4m by runs with --range)");
  part->record = *record;
  part->header = y4m_header_line(part->reader->format());
  return part;
}

std::string frames_text(int64_t first, int64_t end) {
  return end - first == 1 ? "frame " + std::to_string(first)
                          : "frames " + std::to_string(first) + "-" + std::to_string(end - 1);
}

// Everything that can be told from the headers and sizes, before anything
// is written.
void check_parts(const std::vector<std::unique_ptr<Part>>& parts) {
  const Part& reference = *parts.front();
  int64_t clip_frames = -1;
  for (const auto& p : parts) {
    if (p->header != reference.header) {
      throw ToolError(p->name, "its format (" + p->header.substr(0, p->header.size() - 1) + ") is not that of " +
                                   reference.name);
    }
    if (p->record.settings != reference.record.settings) {
      throw ToolError(p->name, "made under other settings than " + reference.name + " (settings " +
                                   p->record.settings + ", not " + reference.record.settings + ")");
    }
    if (p->record.clip_frames >= 0) {
      if (clip_frames >= 0 && clip_frames != p->record.clip_frames) {
        throw ToolError(p->name, "is a part of a clip of " + std::to_string(p->record.clip_frames) +
                                     " frames; other parts say " + std::to_string(clip_frames));
      }
      clip_frames = p->record.clip_frames;
    }
    if (p->sniffed.regular && p->record.end >= 0) {
      const VideoFormat& format = p->reader->format();
      const int64_t frames = p->record.end - p->record.first;
      const int64_t expected = int64_t(p->reader->header_bytes()) + frames * (int64_t(format.frame_bytes()) + 6);
      if (p->sniffed.size < expected) {
        throw ToolError(p->name, "truncated: " + std::to_string(p->sniffed.size) + " bytes, where its " +
                                     std::to_string(frames) + " frames (" + p->range() + ") take " +
                                     std::to_string(expected));
      }
      if (p->sniffed.size > expected) {
        throw ToolError(p->name, "holds more than its " + std::to_string(frames) + " frames (" + p->range() + ")");
      }
    }
  }
  const Part& first = *parts.front();
  if (first.record.first != 0) {
    throw ToolError(first.name, "the parts start at frame " + std::to_string(first.record.first) + "; " +
                                    frames_text(0, first.record.first) + " are in no part");
  }
  for (size_t i = 1; i < parts.size(); ++i) {
    const Part& before = *parts[i - 1];
    const Part& part = *parts[i];
    if (before.record.end < 0) {
      throw ToolError(before.name, "runs to the end of the clip (" + before.range() + ") but " + part.shown() + " follows it");
    }
    if (before.record.end > part.record.first) {
      throw ToolError(part.name, "overlaps " + before.shown() + ": " + part.range());
    }
    if (before.record.end < part.record.first) {
      throw ToolError(part.name, frames_text(before.record.end, part.record.first) + " are in no part (between " +
                                     before.shown() + " and " + part.shown() + ")");
    }
  }
  const Part& last = *parts.back();
  if (clip_frames >= 0 && last.record.end >= 0 && last.record.end != clip_frames) {
    if (last.record.end > clip_frames) {
      throw ToolError(last.name, "ends past the clip's " + std::to_string(clip_frames) + " frames: " + last.range());
    }
    throw ToolError(last.name, frames_text(last.record.end, clip_frames) + " of the clip's " +
                                   std::to_string(clip_frames) + " are in no part (after " + last.shown() + ")");
  }
}

}  // namespace

int64_t run_join(const JoinOptions& options) {
  if (output_kind(options.output) != ClipKind::kY4m) {
    throw ToolError(options.output, "join writes y4m: name the output .y4m, or '-' to pipe it on", 2);
  }
  std::vector<std::unique_ptr<Part>> parts;
  for (const std::string& name : options.parts) parts.push_back(open_part(name));
  // The output may be none of the parts, by any name.
  std::vector<OutputTarget> targets;
  for (const auto& p : parts) targets = plan_outputs(p->name, p->sniffed.identity, {options.output});
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a->record.first < b->record.first; });
  check_parts(parts);

  PendingOutput pending(targets[0]);
  const VideoFormat& format = parts.front()->reader->format();
  Y4mWriter writer(pending.file(), options.output, format);
  std::vector<uint8_t> payload(format.frame_bytes());
  int64_t written = 0;
  int64_t clip_frames = -1;
  for (const auto& p : parts) clip_frames = std::max(clip_frames, p->record.clip_frames);
  for (const auto& p : parts) {
    int64_t frames = 0;
    while (p->reader->read_payload(payload.data())) {
      writer.write_payload(payload.data());
      ++frames;
    }
    const int64_t end = p->record.end >= 0 ? p->record.end : clip_frames;
    if (end >= 0 && p->record.first + frames != end) {
      throw ToolError(p->name, "truncated: " + std::to_string(frames) + " frames, where its record says " +
                                   std::to_string(end - p->record.first) + " (" + p->range() + ")");
    }
    written += frames;
  }
  pending.commit();
  return written;
}
