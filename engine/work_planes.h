#pragma once
// The work buffers as the passes see them: plain pointers into the aligned
// allocations that the plug-in shell owns, plus the geometry they were sized for.
//
// W x H is the buffer geometry (800x512, 1472x1120 or 1952x1120), N the window
// length. Slot planes are slot-interleaved in chunks of 16 positions:
// position p of slot s is element (p - p % 16) * N + 16 * s + p % 16, so that
// each chunk holds the N slots' 16 values one after another, each slot's share
// one 64-byte line of its own (the planes are 64-byte aligned).
#include <cstdint>

struct WorkPlanes {
  int32_t W = 0;  // BufferWidth
  int32_t H = 0;  // BufferHeight
  int32_t N = 0;  // WindowCount

  int16_t* PartLineBuffers[4] = {};  // 4 lines of W int16
  float* LumaLineBuffers[4] = {};    // 4 lines of W floats
  float* LumaSlotPlanesA = nullptr;  // N x H x W floats
  float* LumaSlotPlanesB = nullptr;  // N x H x W floats
  float* LumaWorkPlane = nullptr;    // H x W floats, row-major

  float* CbLineBuffers[4] = {};      // 4 lines of H floats
  float* CbSlotPlanesA = nullptr;    // N x H x W/2 floats
  float* CbSlotPlanesB = nullptr;
  int16_t* CbOutPlane = nullptr;     // W/2 lines of H int16
  // kChromaGatherColumns lines of H floats that the spatial pass gathers a
  // block of chroma columns into. They lie in the output plane's memory: the
  // temporal pass writes the whole output plane, and the output pass reads it,
  // only after the spatial passes of a frame are done with these lines. The
  // lines take 32 x H bytes of the plane's W x H, which every buffer width
  // (800 and up) holds.
  float* CbGatherLines = nullptr;

  float* CrLineBuffers[4] = {};
  float* CrSlotPlanesA = nullptr;
  float* CrSlotPlanesB = nullptr;
  int16_t* CrOutPlane = nullptr;
  float* CrGatherLines = nullptr;

  // Six 16-byte vectors: 0..2 temporal luma/Cb/Cr, 3..5 spatial luma/Cb/Cr.
  float* ScratchVectors[6] = {};
};

// Positions per chunk of the slot planes.
constexpr int32_t kSlotChunk = 16;

// How far ahead the temporal kernels ask for the slot planes' chunks. The
// spatial pass writes the planes past the caches, so every chunk comes from
// memory: asked for this far ahead, into every cache level, it has arrived
// by the time it is read (measured: a non-temporal hint one chunk ahead left
// the kernel waiting on its loads for most of its time).
constexpr int32_t kPrefetchChunks = 8;

// Element index of position p of slot s in a slot plane of window length n.
inline int64_t slot_index(int64_t p, int32_t s, int32_t n) {
  return (p - p % kSlotChunk) * n + kSlotChunk * s + p % kSlotChunk;
}
