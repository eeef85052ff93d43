#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/host_api.h"
#include "plugin/module_state.h"

namespace {

// The bytes of a zero-terminated host string, terminator excluded.
std::vector<uint8_t> bytes_of(const char* s) {
  std::vector<uint8_t> out;
  for (; *s != '\0'; ++s) out.push_back(static_cast<uint8_t>(*s));
  return out;
}

// True when s is well-formed Shift-JIS: every lead byte of a double-byte
// character is followed by a valid trail byte, and no stray bytes remain.
bool is_well_formed_shift_jis(const char* s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s);
  while (*p != 0) {
    uint8_t lead = *p++;
    bool double_byte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    if (!double_byte) {
      if (lead >= 0x80 && !(lead >= 0xA1 && lead <= 0xDF)) return false;
      continue;
    }
    uint8_t trail = *p++;
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return false;
  }
  return true;
}

TEST(FilterTable, HeaderFieldsAndCallbacks) {
  FILTER_DLL* table = GetFilterTable();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table, GetFilterTable()) << "the table is one static record";
  EXPECT_EQ(table->flag, 0x00080000);
  EXPECT_EQ(table->x, 0);
  EXPECT_EQ(table->y, 0);
  EXPECT_STREQ(table->name, "Quietloom");
  EXPECT_EQ(table->track_n, 16);
  EXPECT_EQ(table->check_n, 5);
  EXPECT_EQ(table->func_proc, &func_proc);
  EXPECT_EQ(table->func_init, &func_init);
  EXPECT_EQ(table->func_exit, &func_exit);
  EXPECT_EQ(table->func_update, &func_update);
  EXPECT_EQ(table->func_WndProc, &func_WndProc);
  EXPECT_EQ(table->func_save_start, &func_save_start);
  EXPECT_EQ(table->track, nullptr);
  EXPECT_EQ(table->check, nullptr);
  EXPECT_EQ(table->ex_data_ptr, nullptr);
  EXPECT_EQ(table->ex_data_size, 0);
  ASSERT_NE(table->information, nullptr);
  EXPECT_EQ(std::string(table->information).rfind("Quietloom version 0.1", 0), 0u);
  EXPECT_TRUE(is_well_formed_shift_jis(table->information));
}

TEST(FilterTable, FieldsAfterSaveStartAreZero) {
  // Compare the raw bytes of everything from func_save_end to the end of the
  // record: the host takes any non-zero entry there for a callback or option.
  const FILTER_DLL* table = GetFilterTable();
  const auto* begin = reinterpret_cast<const uint8_t*>(&table->func_save_end);
  const auto* end = reinterpret_cast<const uint8_t*>(table) + sizeof(FILTER_DLL);
  for (const uint8_t* p = begin; p != end; ++p) {
    EXPECT_EQ(*p, 0u) << "byte " << (p - reinterpret_cast<const uint8_t*>(table));
  }
}

TEST(FilterTable, TracksLabelsDefaultsAndRanges) {
  struct Track {
    const char* label;
    int32_t def, min, max;
  };
  const Track expected[16] = {
      {"Frame", 2, 1, 4},       {"W3DYL", 10, 0, 30},     {"W3DYH", 10, 0, 30},
      {"W2DY", 0, 0, 30},       {"W3DCL", 10, 0, 30},     {"W3DCH", 10, 0, 30},
      {"W2DC", 0, 0, 30},       {"CCE-CL", 5, 0, 20},     {"GainY", 0, -50, 50},
      {"Ofs-Y", 0, -50, 50},    {"GainCb", 0, -100, 100}, {"GainCr", 0, -100, 100},
      {"Hue", 0, -50, 50},      {nullptr, 0, -30, 30},    {"MosqNR", 10, 0, 20},
      {"BlockNR", 10, 0, 20},
  };
  const FILTER_DLL* table = GetFilterTable();
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    if (expected[i].label != nullptr) {
      EXPECT_STREQ(table->track_name[i], expected[i].label);
    }
    EXPECT_EQ(table->track_default[i], expected[i].def);
    EXPECT_EQ(table->track_s[i], expected[i].min);
    EXPECT_EQ(table->track_e[i], expected[i].max);
    EXPECT_LE(table->track_s[i], table->track_default[i]);
    EXPECT_GE(table->track_e[i], table->track_default[i]);
  }
  // "γCbCr": the Greek letter is the code-page-932 pair 0x83 0xC1.
  const std::vector<uint8_t> gamma_label = {0x83, 0xC1, 'C', 'b', 'C', 'r'};
  EXPECT_EQ(bytes_of(table->track_name[13]), gamma_label);
}

TEST(FilterTable, CheckLabelsAreShiftJisAndDefaults) {
  const std::vector<uint8_t> expected[5] = {
      // フィールド別処理
      {0x83, 0x74, 0x83, 0x42, 0x81, 0x5B, 0x83, 0x8B, 0x83, 0x68, 0x95, 0xCA, 0x8F, 0x88,
       0x97, 0x9D},
      // アニメ
      {0x83, 0x41, 0x83, 0x6A, 0x83, 0x81},
      // 簡易クロスカラー低減
      {0x8A, 0xC8, 0x88, 0xD5, 0x83, 0x4E, 0x83, 0x8D, 0x83, 0x58, 0x83, 0x4A, 0x83, 0x89,
       0x81, 0x5B, 0x92, 0xE1, 0x8C, 0xB8},
      // モスキートNR
      {0x83, 0x82, 0x83, 0x58, 0x83, 0x4C, 0x81, 0x5B, 0x83, 0x67, 'N', 'R'},
      // ブロックNR
      {0x83, 0x75, 0x83, 0x8D, 0x83, 0x62, 0x83, 0x4E, 'N', 'R'},
  };
  const int32_t defaults[5] = {1, 0, 0, 0, 0};
  const FILTER_DLL* table = GetFilterTable();
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bytes_of(table->check_name[i]), expected[i]);
    EXPECT_EQ(table->check_default[i], defaults[i]);
  }
}

}  // namespace
