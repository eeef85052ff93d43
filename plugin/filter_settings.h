#pragma once
// Where each setting sits in the host's track and check arrays, and the
// defaults and ranges the plug-in table declares for them. The host stores the
// values and clamps every track to its declared range. The plug-in and the
// command-line tool both name the settings by these indices.
#include <cstdint>

enum TrackIndex : int {
  kTrackFrame = 0,
  kTrackW3dyl = 1,
  kTrackW3dyh = 2,
  kTrackW2dy = 3,
  kTrackW3dcl = 4,
  kTrackW3dch = 5,
  kTrackW2dc = 6,
  kTrackCceCl = 7,
  kTrackGainY = 8,
  kTrackOffsetY = 9,
  kTrackGainCb = 10,
  kTrackGainCr = 11,
  kTrackHue = 12,
  kTrackGammaCbCr = 13,
  kTrackMosqNr = 14,
  kTrackBlockNr = 15,
  kTrackCount = 16,
};

enum CheckIndex : int {
  kCheckFieldMode = 0,
  kCheckAnime = 1,
  kCheckCrossColour = 2,
  kCheckMosquitoNr = 3,
  kCheckBlockNr = 4,
  kCheckCount = 5,
};

//                                              Frame W3DYL W3DYH W2DY W3DCL W3DCH W2DC CCE-CL
//                                              GainY Ofs-Y GainCb GainCr Hue γCbCr MosqNR BlockNR
inline constexpr int32_t kTrackDefaults[kTrackCount] = {2, 10, 10, 0, 10, 10, 0, 5,
                                                        0, 0, 0, 0, 0, 0, 10, 10};
inline constexpr int32_t kTrackMinima[kTrackCount] = {1, 0, 0, 0, 0, 0, 0, 0,
                                                       -50, -50, -100, -100, -50, -30, 0, 0};
inline constexpr int32_t kTrackMaxima[kTrackCount] = {4, 30, 30, 30, 30, 30, 30, 20,
                                                       50, 50, 100, 100, 50, 30, 20, 20};

// Per-field processing is on by default; the other checks are off.
inline constexpr int32_t kCheckDefaults[kCheckCount] = {1, 0, 0, 0, 0};

// The host's update status: 0 = everything changed, else base + index.
constexpr int kUpdateAll = 0;
constexpr int kUpdateTrackBase = 0x10000;
constexpr int kUpdateCheckBase = 0x20000;

// The status that says one track or one check changed.
constexpr int track_changed(TrackIndex track) { return kUpdateTrackBase + track; }
constexpr int check_changed(CheckIndex check) { return kUpdateCheckBase + check; }
