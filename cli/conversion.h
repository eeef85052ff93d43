#pragma once
// Conversion between native samples and the host's units.
//
// With bit depth b and s = 2^(b-8), every result rounded to nearest with
// halves away from zero:
//   limited range  y  = round((Y - 16s) x 4096 / (219s))
//                  cb = round((Cb - 128s) x 4096 / (224s)), cr likewise
//   full range     y  = round(Y x 4096 / (2^b - 1))
//                  cb = round((Cb - 2^(b-1)) x 4096 / (2^b - 1)), cr likewise
// and back
//   limited range  Y  = round(y x 219s / 4096 + 16s), Cb = round(cb x 224s / 4096 + 128s)
//   full range     Y  = round(y x (2^b - 1) / 4096), Cb = round(cb x (2^b - 1) / 4096 + 2^(b-1))
// clamped to the sample range 0 .. 2^b - 1. One host step is smaller than one
// code value at 8 and 10 bits, so sample -> host -> sample is exact.
//
// Chroma placement: 4:2:2 and 4:2:0 chroma sample k serves pixels 2k and
// 2k + 1; a 4:2:0 chroma row serves the two luma rows that share it, which are
// rows 2c and 2c + 1 for progressive layout and the two rows of the same field
// (4j + f and 4j + f + 2 for chroma row 2j + f) for interlaced layout. Back,
// the samples that shared one chroma sample are converted and averaged as
// (a + b + 1) / 2, horizontally first, then vertically. 4:4:4 chroma goes
// through pixel by pixel.
#include <cstdint>
#include <vector>

#include "cli/conversion_avx2.h"
#include "cli/video_format.h"
#include "engine/pixel.h"

// round(num / den) with halves away from zero; den > 0.
int64_t divide_rounded(int64_t num, int64_t den);

class SampleConverter {
 public:
  // interlaced_chroma selects the field-wise 4:2:0 row layout.
  SampleConverter(const VideoFormat& format, bool interlaced_chroma);

  int16_t luma_to_host(unsigned sample) const;
  int16_t chroma_to_host(unsigned sample) const;
  uint16_t luma_from_host(int value) const;
  uint16_t chroma_from_host(int value) const;

  // Chooses the 4:2:0 chroma row layout (the tables do not depend on it).
  void set_interlaced_chroma(bool interlaced) { interlaced_chroma_ = interlaced; }

  // The luma row of chroma row c's first and second user (the second is -1
  // when the frame has no such row).
  void chroma_row_users(int c, int& first, int& second) const;
  // The chroma row that luma row r uses.
  int chroma_row_of(int r) const;

  // Writes the frame as height rows of width pixels, rows `stride` apart.
  void to_host(const PlanarFrame& frame, PIXEL_YC* dst, int stride) const;
  // Reads height rows of width pixels, rows `stride` apart.
  void from_host(const PIXEL_YC* src, int stride, PlanarFrame& frame) const;
  // The same from and to a frame's YUV4MPEG2 payload (the three planes one
  // after another, one byte a sample at 8 bits, two little-endian bytes
  // above), without widening the samples first.
  // payload_to_host converts the rows first_row .. end_row - 1 of the
  // frame only (end_row < 0: through the last), so that two threads can
  // share a frame; each row depends on the payload alone. Row r goes to
  // dst + r x stride (a stride of 0 puts one row at dst itself).
  void payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride, int first_row = 0,
                       int end_row = -1) const;
  void host_to_payload(const PIXEL_YC* src, int stride, uint8_t* payload) const;

  // Whether the payload forms convert pixel pairs with the AVX2 row forms
  // (cli/conversion_avx2.h): 4:2:0 and 4:2:2 on processors with AVX2, once
  // the forms have given the tables' value for every input.
  bool vector_rows() const { return vector_rows_; }

 private:
  // `vector` says that the samples are a payload's, which the row forms
  // can read and write.
  template <class Samples>
  void planes_to_host(Samples y, Samples cb, Samples cr, PIXEL_YC* dst, int stride,
                      bool vector, int first_row = 0, int end_row = -1) const;
  template <class Samples>
  void host_to_planes(const PIXEL_YC* src, int stride, Samples y, Samples cb, Samples cr,
                      bool vector) const;
  bool row_forms_agree_with_tables() const;

  VideoFormat format_;
  bool interlaced_chroma_;
  std::vector<int16_t> luma_in_, chroma_in_;     // indexed by any 16-bit sample
  std::vector<uint16_t> luma_out_, chroma_out_;  // indexed by host value + 32768
  ConversionScale luma_in_scale_, chroma_in_scale_, luma_out_scale_, chroma_out_scale_;
  bool vector_rows_ = false;
};
