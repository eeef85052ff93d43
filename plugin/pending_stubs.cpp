// Temporary stand-ins for passes that are not merged yet.
#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "engine/temporal_pass.h"
void spatial_pass_worker(int, int, const SpatialJob&) {}
void temporal_pass_worker(int, int, const TemporalJob&) {}
void output_pass_worker(int, int, const OutputJob&) {}
