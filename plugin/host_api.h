#pragma once
// The host's records and services, in the host's field order. With 4-byte
// pointers (the host's own 32-bit build) every byte offset the host relies on
// is checked at compile time; a 64-bit build keeps the order with native
// pointers.
#include <cstddef>
#include <cstdint>

#include "engine/pixel.h"
#include "plugin/win32_types.h"

struct FILTER;
struct FILTER_PROC_INFO;

using MULTI_THREAD_FUNC = void (*)(int thread_id, int thread_num, void* param1, void* param2);

// Host services reached through FILTER::exfunc. Only the five the module uses
// are named; the other entries are kept as opaque slots so the offsets match.
struct EXFUNC {
  void* unused_0[21];                                              // +0 .. +80
  BOOL (*filter_window_update)(FILTER* fp);                        // +84
  void* unused_88[3];                                              // +88 .. +96
  BOOL (*is_filter_active)(FILTER* fp);                            // +100
  void* unused_104[18];                                            // +104 .. +172
  BOOL (*set_ycp_filtering_cache_size)(FILTER* fp, int w, int h, int d, int flag);  // +176
  void* unused_180[5];                                             // +180 .. +196
  PIXEL_YC* (*get_ycp_filtering_cache_ex)(FILTER* fp, void* editp, int n, int* w,
                                          int* h);                 // +200
  BOOL (*exec_multi_thread_func)(MULTI_THREAD_FUNC func, void* param1, void* param2);  // +204
  void* reserved[16];
};

struct FILTER_PROC_INFO {
  int32_t flag;          // +0
  PIXEL_YC* ycp_edit;    // +4   the frame to rewrite; receives the result
  PIXEL_YC* ycp_temp;    // +8   scratch frame of the same size
  int32_t w;             // +12
  int32_t h;             // +16
  int32_t max_w;         // +20  stride of every frame, in pixels
  int32_t max_h;         // +24
  int32_t frame;         // +28  current frame number
  int32_t frame_n;       // +32  number of frames of the clip
  int32_t org_w;         // +36
  int32_t org_h;         // +40
  int16_t* audiop;       // +44
  int32_t audio_n;       // +48
  int32_t audio_ch;      // +52
  void* pixelp;          // +56
  void* editp;           // +60
  int32_t yc_size;       // +64
  int32_t line_size;     // +68
  int32_t reserve[8];    // +72
};

using FilterProcFunc = BOOL (*)(FILTER* fp, FILTER_PROC_INFO* fpip);
using FilterInitFunc = BOOL (*)(FILTER* fp);
using FilterUpdateFunc = BOOL (*)(FILTER* fp, int status);
using FilterWndProcFunc = BOOL (*)(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                   void* editp, FILTER* fp);
using FilterSaveFunc = BOOL (*)(FILTER* fp, int s, int e, void* editp);

// The plug-in table (FILTER_DLL) and the record passed to every callback
// (FILTER) share one layout of 35 fields.
struct FILTER {
  int32_t flag;                       // +0
  int32_t x, y;                       // +4, +8
  const char* name;                   // +12
  int32_t track_n;                    // +16
  const char* const* track_name;      // +20
  const int32_t* track_default;       // +24
  const int32_t* track_s;             // +28
  const int32_t* track_e;             // +32
  int32_t check_n;                    // +36
  const char* const* check_name;      // +40
  const int32_t* check_default;       // +44
  FilterProcFunc func_proc;           // +48
  FilterInitFunc func_init;           // +52
  FilterInitFunc func_exit;           // +56
  FilterUpdateFunc func_update;       // +60
  FilterWndProcFunc func_WndProc;     // +64
  int32_t* track;                     // +68
  int32_t* check;                     // +72
  void* ex_data_ptr;                  // +76
  int32_t ex_data_size;               // +80
  const char* information;            // +84
  FilterSaveFunc func_save_start;     // +88
  FilterSaveFunc func_save_end;       // +92
  EXFUNC* exfunc;                     // +96
  HWND hwnd;                          // +100
  HINSTANCE dll_hinst;                // +104
  void* ex_data_def;                  // +108
  void* func_is_saveframe;            // +112
  void* func_project_load;            // +116
  void* func_project_save;            // +120
  void* func_modify_title;            // +124
  const char* dll_path;               // +128
  int32_t reserve[2];                 // +132
};
using FILTER_DLL = FILTER;

constexpr int32_t FILTER_FLAG_EX_INFORMATION = 0x00080000;
constexpr UINT WM_FILTER_INIT = 1127;  // WM_USER + 103: settings window created
constexpr UINT WM_FILTER_EXIT = 1128;  // WM_USER + 104: settings window closing

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(FILTER, track) == 68);
static_assert(offsetof(FILTER, check) == 72);
static_assert(offsetof(FILTER, information) == 84);
static_assert(offsetof(FILTER, func_save_start) == 88);
static_assert(offsetof(FILTER, exfunc) == 96);
static_assert(offsetof(FILTER, dll_hinst) == 104);
static_assert(sizeof(FILTER) == 35 * 4);
static_assert(offsetof(FILTER_PROC_INFO, ycp_edit) == 4);
static_assert(offsetof(FILTER_PROC_INFO, ycp_temp) == 8);
static_assert(offsetof(FILTER_PROC_INFO, w) == 12);
static_assert(offsetof(FILTER_PROC_INFO, h) == 16);
static_assert(offsetof(FILTER_PROC_INFO, max_w) == 20);
static_assert(offsetof(FILTER_PROC_INFO, max_h) == 24);
static_assert(offsetof(FILTER_PROC_INFO, frame) == 28);
static_assert(offsetof(FILTER_PROC_INFO, frame_n) == 32);
static_assert(offsetof(FILTER_PROC_INFO, editp) == 60);
static_assert(offsetof(EXFUNC, filter_window_update) == 84);
static_assert(offsetof(EXFUNC, is_filter_active) == 100);
static_assert(offsetof(EXFUNC, set_ycp_filtering_cache_size) == 176);
static_assert(offsetof(EXFUNC, get_ycp_filtering_cache_ex) == 200);
static_assert(offsetof(EXFUNC, exec_multi_thread_func) == 204);
#endif

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
FILTER_DLL* GetFilterTable(void);
}
