#include "platform/dynlib.h"

#include <windows.h>

#include "wide.h"

namespace platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& path) {
  // A missing or broken library is a null result, never a system dialog.
  DWORD previousMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  HMODULE module = LoadLibraryW(Widen(path).c_str());
  SetThreadErrorMode(previousMode, nullptr);
  if (!module) return nullptr;
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(module));
}

DynamicLibrary::DynamicLibrary(void* handle) : handle_(handle) {}

DynamicLibrary::~DynamicLibrary() { FreeLibrary(static_cast<HMODULE>(handle_)); }

void* DynamicLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::string SharedLibraryFileName(const std::string& baseName) { return baseName + ".dll"; }

}  // namespace platform
