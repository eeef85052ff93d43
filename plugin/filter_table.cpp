// The static plug-in table the host reads through GetFilterTable: the
// filter's name, its sixteen tracks and five checks, the information string
// and the callbacks. Nothing in it changes at run time.
#include "plugin/filter_settings.h"
#include "plugin/filter_strings.h"
#include "plugin/host_api.h"
#include "plugin/module_state.h"

namespace {

const char* const kTrackLabels[kTrackCount] = {
    kTrackLabelFrame,   kTrackLabelW3dyl,    kTrackLabelW3dyh,  kTrackLabelW2dy,
    kTrackLabelW3dcl,   kTrackLabelW3dch,    kTrackLabelW2dc,   kTrackLabelCceCl,
    kTrackLabelGainY,   kTrackLabelOffsetY,  kTrackLabelGainCb, kTrackLabelGainCr,
    kTrackLabelHue,     kTrackLabelGammaCbCr, kTrackLabelMosqNr, kTrackLabelBlockNr,
};

const char* const kCheckLabels[kCheckCount] = {
    kCheckLabelFieldMode, kCheckLabelAnime,   kCheckLabelCrossColour,
    kCheckLabelMosquitoNr, kCheckLabelBlockNr,
};

// The host writes into the table it is given (track and check pointers,
// exfunc, hwnd), so it is not const. Every field after func_save_start is
// zero: the module has no other callback and no other option.
FILTER_DLL PluginTable = {
    .flag = FILTER_FLAG_EX_INFORMATION,
    .x = 0,
    .y = 0,
    .name = kFilterName,
    .track_n = kTrackCount,
    .track_name = kTrackLabels,
    .track_default = kTrackDefaults,
    .track_s = kTrackMinima,
    .track_e = kTrackMaxima,
    .check_n = kCheckCount,
    .check_name = kCheckLabels,
    .check_default = kCheckDefaults,
    .func_proc = func_proc,
    .func_init = func_init,
    .func_exit = func_exit,
    .func_update = func_update,
    .func_WndProc = func_WndProc,
    .track = nullptr,
    .check = nullptr,
    .ex_data_ptr = nullptr,
    .ex_data_size = 0,
    .information = kFilterInformation,
    .func_save_start = func_save_start,
    .func_save_end = nullptr,
    .exfunc = nullptr,
    .hwnd = nullptr,
    .dll_hinst = nullptr,
    .ex_data_def = nullptr,
    .func_is_saveframe = nullptr,
    .func_project_load = nullptr,
    .func_project_save = nullptr,
    .func_modify_title = nullptr,
    .dll_path = nullptr,
    .reserve = {0, 0},
};

}  // namespace

extern "C" FILTER_DLL* GetFilterTable(void) { return &PluginTable; }
