#pragma once
// Driver state outside func_proc itself.

// Forgets the geometry of the last reallocation (padded 1920 x 1088, radius 0),
// so the next frame call sizes the work buffers afresh.
void reset_frame_driver();

// Frees the private padded copies of host frames.
void release_frame_driver_buffers();
