// What Windows sees of tarvoni.exe without running it: a window program (no
// console opens with it), icons 107 (its windows') and 108 (the tray's) at
// the sizes the shell asks for, and the version every program reports.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kProgram[] = L"" TARVONI_PROGRAM_W;

// The subsystem field of the program's PE header.
int SubsystemOf(const std::wstring& path) {
  std::string bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
    fclose(file);
  }
  if (bytes.size() < sizeof(IMAGE_DOS_HEADER)) return -1;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes.data());
  if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0 ||
      bytes.size() < static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32)) {
    return -1;
  }
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(bytes.data() + dos->e_lfanew);
  return nt->Signature == IMAGE_NT_SIGNATURE ? nt->OptionalHeader.Subsystem : -1;
}

// The width of the icon image Windows picks for `size` x `size`, 0 when none.
int IconWidth(HMODULE program, int id, int size) {
  auto* icon = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
  if (icon == nullptr) return 0;
  ICONINFO info{};
  BITMAP bitmap{};
  const bool read = GetIconInfo(icon, &info) && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) != 0;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  return read ? bitmap.bmWidth : 0;
}

std::wstring VersionText(const std::wstring& path, const wchar_t* name) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  std::string block(size, '\0');
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return L"";
  wchar_t* text = nullptr;
  UINT length = 0;
  const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) || length == 0) return L"";
  return std::wstring(text, length - 1);
}

TEST(WindowsProgramTest, IsAWindowProgramWithItsTwoIconsAndTheVersion) {
  EXPECT_EQ(SubsystemOf(kProgram), IMAGE_SUBSYSTEM_WINDOWS_GUI);

  HMODULE program = LoadLibraryExW(kProgram, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  for (int id : {107, 108}) {
    for (int size : {16, 32}) EXPECT_EQ(IconWidth(program, id, size), size) << "icon " << id << " at " << size;
  }
  EXPECT_EQ(IconWidth(program, 109, 16), 0) << "no icon but the two";
  FreeLibrary(program);

  EXPECT_EQ(VersionText(kProgram, L"ProductVersion"), L"" TARVONI_VERSION_W);
  EXPECT_EQ(VersionText(kProgram, L"OriginalFilename"), L"tarvoni.exe");
}

}  // namespace
