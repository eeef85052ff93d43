#include "cli/settings/settings_digest.h"

#include <cstdint>
#include <cstdio>

std::string text_digest(const std::string& text) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", (unsigned long long)hash);
  return hex;
}

std::string settings_digest(const DenoiseOptions& options, bool per_field, const std::string& scene_source) {
  char strength[32];
  std::snprintf(strength, sizeof strength, "%.17g", options.strength);
  std::string text = std::string("preset ") + preset_name(options.preset) + "\nstrength " + strength +
                     "\nfields " + (per_field ? "apart" : "together") + "\nscenes " + scene_source + "\n";
  for (int i = 0; i < kTrackCount; ++i) {
    if (options.track_given[size_t(i)]) {
      text += std::string(kTrackOptionNames[i]) + " " + std::to_string(options.tracks[size_t(i)]) + "\n";
    }
  }
  for (int i = 1; i < kCheckCount; ++i) {
    if (options.check_given[size_t(i)]) {
      text += std::string(kCheckOptionNames[i]) + " " + std::to_string(options.checks[size_t(i)]) + "\n";
    }
  }
  return text_digest(text);
}
