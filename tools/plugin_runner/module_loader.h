#pragma once
// Loads a built plug-in module the way the editor does: the shared library is
// opened by path (dlopen on Linux, LoadLibraryA on Windows) and its only
// export, GetFilterTable, hands over the plug-in table.
#include <string>

#include "plugin/host_api.h"

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();  // unloads the module
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Loads the module and calls GetFilterTable. Returns false with a
  // description in error when either fails or the table pointer is null.
  bool open(const std::string& path, std::string& error);
  FILTER_DLL* filter_table() const { return table_; }
  void close();

 private:
  void* handle_ = nullptr;
  FILTER_DLL* table_ = nullptr;
};
