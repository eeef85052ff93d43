#pragma once
// The face name of the button's font, "ＭＳ Ｐゴシック", in code page 932
// (Shift-JIS), the encoding of the module's ANSI calls.
inline constexpr char kButtonFaceCp932[] =
    "\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";
