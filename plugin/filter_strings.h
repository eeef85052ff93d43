#pragma once
// The texts of the plug-in table as the host reads them: zero-terminated
// Shift-JIS (code page 932) byte strings. Each double-byte character is its own
// literal piece, so a following letter can never be swallowed by a \x escape.
// The readable text stands in the comment above each string.

// Track labels.
inline constexpr char kTrackLabelFrame[] = "Frame";
inline constexpr char kTrackLabelW3dyl[] = "W3DYL";
inline constexpr char kTrackLabelW3dyh[] = "W3DYH";
inline constexpr char kTrackLabelW2dy[] = "W2DY";
inline constexpr char kTrackLabelW3dcl[] = "W3DCL";
inline constexpr char kTrackLabelW3dch[] = "W3DCH";
inline constexpr char kTrackLabelW2dc[] = "W2DC";
inline constexpr char kTrackLabelCceCl[] = "CCE-CL";
inline constexpr char kTrackLabelGainY[] = "GainY";
inline constexpr char kTrackLabelOffsetY[] = "Ofs-Y";
inline constexpr char kTrackLabelGainCb[] = "GainCb";
inline constexpr char kTrackLabelGainCr[] = "GainCr";
inline constexpr char kTrackLabelHue[] = "Hue";
// "γCbCr"
inline constexpr char kTrackLabelGammaCbCr[] = "\x83\xC1" "CbCr";
inline constexpr char kTrackLabelMosqNr[] = "MosqNR";
inline constexpr char kTrackLabelBlockNr[] = "BlockNR";

// Check labels.
// "フィールド別処理" (per-field processing)
inline constexpr char kCheckLabelFieldMode[] =
    "\x83\x74" "\x83\x42" "\x81\x5B" "\x83\x8B" "\x83\x68" "\x95\xCA" "\x8F\x88" "\x97\x9D";
// "アニメ" (anime)
inline constexpr char kCheckLabelAnime[] = "\x83\x41" "\x83\x6A" "\x83\x81";
// "簡易クロスカラー低減" (simple cross-colour reduction)
inline constexpr char kCheckLabelCrossColour[] =
    "\x8A\xC8" "\x88\xD5" "\x83\x4E" "\x83\x8D" "\x83\x58" "\x83\x4A" "\x83\x89" "\x81\x5B"
    "\x92\xE1" "\x8C\xB8";
// "モスキートNR" (mosquito NR)
inline constexpr char kCheckLabelMosquitoNr[] =
    "\x83\x82" "\x83\x58" "\x83\x4C" "\x81\x5B" "\x83\x67" "NR";
// "ブロックNR" (block NR)
inline constexpr char kCheckLabelBlockNr[] = "\x83\x75" "\x83\x8D" "\x83\x62" "\x83\x4E" "NR";

// The filter's name and the information string the host shows.
inline constexpr char kFilterName[] = "Quietloom";
// "Quietloom version 0.1 ３Ｄウェーブレット ＮＲ" (3D wavelet NR)
inline constexpr char kFilterInformation[] =
    "Quietloom version 0.1 "
    "\x82\x52" "\x82\x63"                                                   // ３Ｄ
    "\x83\x45" "\x83\x46" "\x81\x5B" "\x83\x75" "\x83\x8C" "\x83\x62" "\x83\x67"  // ウェーブレット
    " "
    "\x82\x6D" "\x82\x71";                                                  // ＮＲ
