// Loading shared libraries at run time.
#pragma once

#include <memory>
#include <string>

namespace platform {

class DynamicLibrary {
 public:
  // Null when the library cannot be loaded.
  static std::unique_ptr<DynamicLibrary> Load(const std::string& path);
  // Unloads the library.
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Address of an exported symbol, or null.
  void* Symbol(const char* name) const;

 private:
  explicit DynamicLibrary(void* handle);
  void* handle_;
};

// The platform's file name for a shared library: "brelix" -> "libbrelix.so".
std::string SharedLibraryFileName(const std::string& baseName);

}  // namespace platform
