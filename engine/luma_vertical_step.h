#pragma once
// The vertical step of the spatial luma pass: one vertical D4 level over every
// padded column of the frame into LumaWorkPlane (rows [0, H/2) low band,
// [H/2, H) high band), optionally through three cored dual-phase levels folded
// back to one level.
#include "engine/spatial_coring.h"
#include "engine/spatial_pass.h"

void luma_vertical_step(const SpatialJob& job, const CoringSettings& coring);

// The same step column by column: each padded column gathered into a line,
// transformed with the line kernels and written back into its column. It is
// the form the step is defined by, and the tests' reference for the row form
// that luma_vertical_step uses without coring.
void luma_vertical_step_by_columns(const SpatialJob& job, const CoringSettings& coring);
