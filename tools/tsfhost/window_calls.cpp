#include "tools/tsfhost/window_calls.h"

#include <cstring>

#include "tools/tsfhost/timing.h"

namespace quillet::tsfhost {
namespace {

decltype(&::CreateWindowExW) gCreateWindowExW = nullptr;
decltype(&::DestroyWindow) gDestroyWindow = nullptr;
decltype(&::ShowWindow) gShowWindow = nullptr;
decltype(&::SetWindowPos) gSetWindowPos = nullptr;

HWND WINAPI TimedCreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR name, DWORD style, int x, int y, int width,
                                 int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  const ZoneScope zone(Zone::kWindowSystem);
  return gCreateWindowExW(exStyle, className, name, style, x, y, width, height, parent, menu, instance, param);
}

BOOL WINAPI TimedDestroyWindow(HWND window) {
  const ZoneScope zone(Zone::kWindowSystem);
  return gDestroyWindow(window);
}

BOOL WINAPI TimedShowWindow(HWND window, int command) {
  const ZoneScope zone(Zone::kWindowSystem);
  return gShowWindow(window, command);
}

BOOL WINAPI TimedSetWindowPos(HWND window, HWND after, int x, int y, int width, int height, UINT flags) {
  const ZoneScope zone(Zone::kWindowSystem);
  return gSetWindowPos(window, after, x, y, width, height, flags);
}

// Replaces the import slot with `timed` and keeps what it held in `original`.
template <typename F>
bool Patch(ULONG_PTR* slot, F* original, F timed) {
  DWORD protection = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) return false;
  *original = reinterpret_cast<F>(*slot);
  *slot = reinterpret_cast<ULONG_PTR>(timed);
  VirtualProtect(slot, sizeof *slot, protection, &protection);
  return true;
}

}  // namespace

bool TimeWindowCalls(HMODULE dll) {
  auto* base = reinterpret_cast<BYTE*>(dll);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dll == nullptr || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  int patched = 0;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "user32.dll") != 0 || d->OriginalFirstThunk == 0) {
      continue;
    }
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<ULONG_PTR*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
      if (std::strcmp(name, "CreateWindowExW") == 0) {
        patched += Patch(slots, &gCreateWindowExW, &TimedCreateWindowExW);
      } else if (std::strcmp(name, "DestroyWindow") == 0) {
        patched += Patch(slots, &gDestroyWindow, &TimedDestroyWindow);
      } else if (std::strcmp(name, "ShowWindow") == 0) {
        patched += Patch(slots, &gShowWindow, &TimedShowWindow);
      } else if (std::strcmp(name, "SetWindowPos") == 0) {
        patched += Patch(slots, &gSetWindowPos, &TimedSetWindowPos);
      }
    }
  }
  return patched > 0;
}

}  // namespace quillet::tsfhost
