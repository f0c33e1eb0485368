// Icons built into the program: its icon resources, or PNG images
// registered with RegisterIconResource.
#include <map>
#include <utility>

#include "uilib/win_api.h"
#include "win32_backend.h"

namespace {

// Never destroyed: the icons made from it live as long as the program.
std::map<int, std::pair<const unsigned char*, size_t>>& Registered() {
  static auto* icons = new std::map<int, std::pair<const unsigned char*, size_t>>;
  return *icons;
}

std::map<int, HICON>& Made() {
  static auto* icons = new std::map<int, HICON>;
  return *icons;
}

}  // namespace

bool RegisterIconResource(int id, const unsigned char* data, size_t size) {
  Registered()[id] = {data, size};
  return true;
}

// Program icons are shared and live as long as the program, as the system's are.
HICON LoadIcon(HINSTANCE, LPCTSTR resource) {
  const auto id = static_cast<int>(reinterpret_cast<uintptr_t>(resource));
  if (HICON icon = reinterpret_cast<HICON>(uilib::win32::ProgramIcon(id))) return icon;
  auto made = Made().find(id);
  if (made != Made().end()) return made->second;
  auto registered = Registered().find(id);
  if (registered == Registered().end()) return nullptr;
  HICON icon = reinterpret_cast<HICON>(uilib::win32::IconFromPng(registered->second.first, registered->second.second));
  if (icon) Made()[id] = icon;
  return icon;
}

BOOL DestroyIcon(HICON) { return TRUE; }
