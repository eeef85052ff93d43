// Temporary stand-ins for passes that are not merged yet.
#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "engine/temporal_pass.h"
#include "prefilter/block_nr.h"
#include "prefilter/cross_colour.h"
#include "prefilter/mosquito_nr.h"
void spatial_pass_worker(int, int, const SpatialJob&) {}
void temporal_pass_worker(int, int, const TemporalJob&) {}
void output_pass_worker(int, int, const OutputJob&) {}
void block_nr_rows(const BlockNrJob&, int32_t, int32_t) {}
void mosquito_nr_rows(const MosquitoNrJob&, int32_t, int32_t) {}
void cross_colour_reduce(const CrossColourJob&) {}
