// Icon resources compiled into the program, decoded on first use.
#include <SDL_image.h>

#include <map>
#include <memory>

#include "sdl_backend.h"
#include "uilib/win_api.h"

namespace {

struct IconDeleter {
  void operator()(UIIconTag* icon) const {
    SDL_FreeSurface(icon->surface);
    delete icon;
  }
};

struct IconResource {
  const unsigned char* data = nullptr;
  size_t size = 0;
  std::unique_ptr<UIIconTag, IconDeleter> loaded;
};

// Never destroyed: the decoded icons it holds live as long as the program.
std::map<int, IconResource>& Icons() {
  static auto* icons = new std::map<int, IconResource>;
  return *icons;
}

}  // namespace

bool RegisterIconResource(int id, const unsigned char* data, size_t size) {
  IconResource& icon = Icons()[id];
  icon.data = data;
  icon.size = size;
  return true;
}

HICON LoadIcon(HINSTANCE, LPCTSTR resource) {
  auto id = static_cast<int>(reinterpret_cast<uintptr_t>(resource));
  auto it = Icons().find(id);
  if (it == Icons().end()) return nullptr;
  IconResource& icon = it->second;
  if (icon.loaded) return icon.loaded.get();
  if (!uilib::backend::EnsureVideo()) return nullptr;
  SDL_RWops* stream = SDL_RWFromConstMem(icon.data, static_cast<int>(icon.size));
  SDL_Surface* decoded = stream ? IMG_Load_RW(stream, 1) : nullptr;
  if (!decoded) return nullptr;
  SDL_Surface* pixels = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(decoded);
  if (!pixels) return nullptr;
  // Program icons are shared and live as long as the program, as Win32's are.
  icon.loaded.reset(new UIIconTag{pixels});
  return icon.loaded.get();
}

BOOL DestroyIcon(HICON) { return TRUE; }

namespace uilib::backend {

SDL_Surface* IconSurface(HICON icon) { return icon ? icon->surface : nullptr; }

}  // namespace uilib::backend
