#pragma once
// The few Win32 types and window-system calls the module uses. On Windows they
// come from the system headers; elsewhere the host provides functions with the
// same names and signatures (the stand-in host records what was asked of them).
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
using HWND = void*;
using HINSTANCE = void*;
using HMENU = void*;
using HFONT = void*;
using HGDIOBJ = void*;
using LPVOID = void*;
using UINT = unsigned int;
using DWORD = uint32_t;
using BOOL = int;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LPCSTR = const char*;

extern "C" {
HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
HWND GetWindow(HWND hwnd, UINT command);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strike_out, DWORD char_set,
                  DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCSTR face_name);
BOOL DeleteObject(HGDIOBJ object);
}
#endif
