#pragma once
// The derivation of the processing parameters from the track and check
// values, as func_update does it for the module's FilterParams and
// PreStages, for any records a caller keeps (a driver of its own that runs
// the passes with its own parameters).
#include "engine/filter_parameters.h"
#include "plugin/host_api.h"
#include "plugin/prestage_settings.h"

// Reads fp->track and fp->check (non-null). `status` is the host's update
// status and says what is recomputed besides the scalar fields: the hue pair
// at 0 and at a change of track "Hue", the gamma table (into
// params.gamma_cbcr_lut, when it is there) at 0 and at a change of track
// "γCbCr".
void derive_filter_parameters(const FILTER* fp, int status, FilterParameters& params,
                              PreStageSettings& prestages);
