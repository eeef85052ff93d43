#pragma once
// What the frame driver needs of the settings beyond FilterParams: which
// pre-stages run and with which parameters, and whether the chroma gamma
// curve applies. func_update derives it with FilterParams, so a frame never
// reads the host's track and check arrays itself.
#include <cstdint>

struct PreStageThresholds {
  int32_t t1 = 0;
  int32_t t2 = 0;
  int32_t t3 = 0;
};

// The two buffer width classes the thresholds depend on.
enum WidthClass : int { kNarrowBuffers = 0, kWideBuffers = 1 };

// W below 1400 (800) is narrow; 1472 and 1952 are wide.
inline WidthClass width_class(int32_t buffer_width) {
  return buffer_width < 1400 ? kNarrowBuffers : kWideBuffers;
}

struct PreStageSettings {
  bool block_nr = false;      // check "ブロックNR"
  bool mosquito_nr = false;   // check "モスキートNR"
  bool cross_colour = false;  // check "簡易クロスカラー低減"
  int32_t field_count = 1;    // 2 with per-field processing
  bool anime = false;
  int32_t cross_colour_strength = 0;  // track "CCE-CL"
  // Indexed by WidthClass; from the strength tracks "BlockNR" and "MosqNR".
  PreStageThresholds block_nr_thresholds[2];
  PreStageThresholds mosquito_nr_thresholds[2];
  bool chroma_gamma = false;  // track "γCbCr" is non-zero
};

// T1, T2, T3 of a pre-stage of strength s (0 .. 20) for both width classes.
inline void prestage_thresholds(int32_t s, PreStageThresholds thresholds[2]) {
  thresholds[kNarrowBuffers] = {8 * s, 16 * s, 8 * s};
  thresholds[kWideBuffers] = {25 * s, 50 * s, 20 * s};
}
