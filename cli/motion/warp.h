#pragma once
// Moves a frame by a sub-sample translation, so that a neighbouring frame of
// the temporal window lines up with the window's centre frame.
//
// The interpolator is a windowed sinc (Lanczos, `taps` per direction), not a
// smoothing one: the temporal fit compares each coefficient with its
// neighbours' against a threshold set by the noise, and a neighbour whose
// noise a bilinear shift had halved would mislead it. Whole-sample shifts
// copy the samples. Where the moved frame has no picture (samples that come
// from outside it) the centre frame's own samples are taken, so the fit finds
// them equal to the centre and nothing from outside the picture, wrapped or
// mirrored, enters it.
#include <functional>

#include "cli/analysis/global_motion.h"
#include "engine/pixel.h"

struct WarpFrame {
  int width = 0;   // the picture's own size within the buffers
  int height = 0;
  int padded_width = 0;   // the buffers' picture with its padding, which is
  int padded_height = 0;  // mirrored from the moved picture afresh
  int src_stride = 0;  // pixels from one row to the next, in src and centre
  int dst_stride = 0;  // and in dst
  // Only the even pixels' chroma is wanted (the module's spatial pass reads
  // no other): the odd pixels of the moved picture then repeat the chroma of
  // the even pixel before them, and a third less is moved. Every even
  // pixel's and every luma sample is what the full move gives.
  bool even_chroma = false;
};

// dst(x, y) = src(x - offset.x, y - offset.y) for the three channels, or
// centre(x, y) where that point lies outside src's picture. With `fields`
// the two fields of an interlaced frame are moved apart, each within its own
// rows (offset.y in frame rows). taps: 2, 4, 6 or 8 lobes' worth per side.
void warp_frame(const PIXEL_YC* src, const PIXEL_YC* centre, PIXEL_YC* dst, const WarpFrame& geometry,
                Translation offset, bool fields, int taps = 4);
// The same with the source frame given row by row: source_row(r) is frame
// row r (0 <= r < height) of `width` pixels, valid until the next call. It
// is asked for each row at most once per picture (a frame, or each field),
// so a caller can convert rows as they are needed instead of a whole frame
// first.
using SourceRow = std::function<const PIXEL_YC*(int row)>;
void warp_frame(const SourceRow& source_row, const PIXEL_YC* centre, PIXEL_YC* dst, const WarpFrame& geometry,
                Translation offset, bool fields, int taps = 4);

// dst's padding (past width and height, within the padded size) mirrored
// afresh from its picture.
void mirror_padding(PIXEL_YC* dst, const WarpFrame& geometry);

// The share of a white noise's variance that the interpolator keeps at the
// offset's fractional part (1 for whole-sample shifts).
double kept_noise_variance(Translation offset, int taps = 4);
