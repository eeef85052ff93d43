#include "tools/plugin_runner/module_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

using GetFilterTableFunc = FILTER_DLL* (*)();

}  // namespace

LoadedModule::~LoadedModule() { close(); }

bool LoadedModule::open(const std::string& path, std::string& error) {
  close();
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = "LoadLibraryA(" + path + ") failed with error " + std::to_string(GetLastError());
    return false;
  }
  handle_ = module;
  auto get_table = reinterpret_cast<GetFilterTableFunc>(
      reinterpret_cast<void*>(GetProcAddress(module, "GetFilterTable")));
#else
  // RTLD_NOW: a window-system call the program does not provide shows up here
  // rather than in the middle of a callback.
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    error = "dlopen(" + path + ") failed: " + (why ? why : "unknown reason");
    return false;
  }
  auto get_table = reinterpret_cast<GetFilterTableFunc>(dlsym(handle_, "GetFilterTable"));
#endif
  if (get_table == nullptr) {
    error = path + " does not export GetFilterTable";
    close();
    return false;
  }
  table_ = get_table();
  if (table_ == nullptr) {
    error = "GetFilterTable of " + path + " returned null";
    close();
    return false;
  }
  return true;
}

void LoadedModule::close() {
  table_ = nullptr;
  if (handle_ == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
  handle_ = nullptr;
}
