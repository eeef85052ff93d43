#include "tools/plugin_runner/table_check.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace {

constexpr int kFieldCount = 35;
constexpr int kExpectedTracks = 16;
constexpr int kExpectedChecks = 5;

// The table as 35 fields of pointer width, whichever way they were read.
struct TableWords {
  uintptr_t field[kFieldCount];
};

// Field numbers (byte offset / 4 in the editor's layout).
enum Field : int {
  kFlag = 0, kName = 3, kTrackN = 4, kTrackName = 5, kTrackDefault = 6, kTrackS = 7,
  kTrackE = 8, kCheckN = 9, kCheckName = 10, kCheckDefault = 11, kFuncProc = 12,
  kFuncInit = 13, kFuncExit = 14, kFuncUpdate = 15, kFuncWndProc = 16, kTrack = 17,
  kCheck = 18, kExDataPtr = 19, kExDataSize = 20, kInformation = 21, kFuncSaveStart = 22,
  kFirstUnused = 23,
};

#if UINTPTR_MAX == 0xFFFFFFFFu
// The editor reads 35 little-endian 32-bit words; so does this.
TableWords read_words(const FILTER_DLL* table) {
  TableWords words;
  const auto* bytes = reinterpret_cast<const unsigned char*>(table);
  for (int i = 0; i < kFieldCount; ++i) {
    uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | bytes[4 * i + b];
    words.field[i] = v;
  }
  return words;
}
constexpr const char* kReadMode = "byte offsets";
#else
template <typename T>
uintptr_t as_word(T value) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<uintptr_t>(value);
  else
    return static_cast<uintptr_t>(static_cast<uint32_t>(value));
}

TableWords read_words(const FILTER_DLL* t) {
  const uintptr_t in_order[kFieldCount] = {
      as_word(t->flag), as_word(t->x), as_word(t->y), as_word(t->name), as_word(t->track_n),
      as_word(t->track_name), as_word(t->track_default), as_word(t->track_s),
      as_word(t->track_e), as_word(t->check_n), as_word(t->check_name),
      as_word(t->check_default), as_word(reinterpret_cast<void*>(t->func_proc)),
      as_word(reinterpret_cast<void*>(t->func_init)),
      as_word(reinterpret_cast<void*>(t->func_exit)),
      as_word(reinterpret_cast<void*>(t->func_update)),
      as_word(reinterpret_cast<void*>(t->func_WndProc)), as_word(t->track), as_word(t->check),
      as_word(t->ex_data_ptr), as_word(t->ex_data_size), as_word(t->information),
      as_word(reinterpret_cast<void*>(t->func_save_start)),
      as_word(reinterpret_cast<void*>(t->func_save_end)), as_word(t->exfunc), as_word(t->hwnd),
      as_word(t->dll_hinst), as_word(t->ex_data_def), as_word(t->func_is_saveframe),
      as_word(t->func_project_load), as_word(t->func_project_save),
      as_word(t->func_modify_title), as_word(t->dll_path), as_word(t->reserve[0]),
      as_word(t->reserve[1])};
  TableWords words;
  std::memcpy(words.field, in_order, sizeof(in_order));
  return words;
}
constexpr const char* kReadMode = "fields";
#endif

template <typename T>
const T* pointer(uintptr_t word) {
  return reinterpret_cast<const T*>(word);
}

std::string field_text(int field) { return "field +" + std::to_string(4 * field); }

}  // namespace

bool check_filter_table(const FILTER_DLL* table, CheckList& checks) {
  if (!checks.expect(table != nullptr, "no plug-in table")) return false;
  const size_t failures_before = checks.failures().size();
  const TableWords w = read_words(table);
  const std::string how = std::string(" (read by ") + kReadMode + ")";

  checks.expect(w.field[kFlag] == 0x00080000u, "flag is not 0x00080000" + how);
  const char* name = pointer<char>(w.field[kName]);
  checks.expect(name != nullptr && std::strcmp(name, "Quietloom") == 0,
                "name is not \"Quietloom\"" + how);
  checks.expect(w.field[kTrackN] == kExpectedTracks, "track_n is not 16" + how);
  checks.expect(w.field[kCheckN] == kExpectedChecks, "check_n is not 5" + how);
  for (int f : {kTrackName, kTrackDefault, kTrackS, kTrackE, kCheckName, kCheckDefault,
                kInformation})
    checks.expect(w.field[f] != 0, field_text(f) + " is null" + how);
  for (int f : {kFuncProc, kFuncInit, kFuncExit, kFuncUpdate, kFuncWndProc, kFuncSaveStart})
    checks.expect(w.field[f] != 0, "callback at " + field_text(f) + " is null" + how);
  for (int f : {kTrack, kCheck, kExDataPtr, kExDataSize})
    checks.expect(w.field[f] == 0, field_text(f) + " is not zero" + how);
  for (int f = kFirstUnused; f < kFieldCount; ++f)
    checks.expect(w.field[f] == 0, field_text(f) + " is not zero" + how);
  if (checks.failures().size() != failures_before) return false;

  // Labels exist and every default lies inside its declared range, as the
  // editor needs to draw the sliders.
  const auto* track_names = pointer<const char*>(w.field[kTrackName]);
  const auto* defaults = pointer<int32_t>(w.field[kTrackDefault]);
  const auto* minima = pointer<int32_t>(w.field[kTrackS]);
  const auto* maxima = pointer<int32_t>(w.field[kTrackE]);
  for (int i = 0; i < kExpectedTracks; ++i) {
    checks.expect(track_names[i] != nullptr && track_names[i][0] != '\0',
                  "track " + std::to_string(i) + " has no label");
    checks.expect(minima[i] <= defaults[i] && defaults[i] <= maxima[i],
                  "track " + std::to_string(i) + " default outside its range");
  }
  const auto* check_names = pointer<const char*>(w.field[kCheckName]);
  const auto* check_defaults = pointer<int32_t>(w.field[kCheckDefault]);
  for (int i = 0; i < kExpectedChecks; ++i) {
    checks.expect(check_names[i] != nullptr && check_names[i][0] != '\0',
                  "check " + std::to_string(i) + " has no label");
    checks.expect(check_defaults[i] == 0 || check_defaults[i] == 1,
                  "check " + std::to_string(i) + " default is neither 0 nor 1");
  }
  return checks.failures().size() == failures_before;
}
