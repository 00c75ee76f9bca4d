#include "ui/win32/window_search.h"

namespace quarnet::win32 {

HWND WaitForWindow(DWORD thread, const std::function<bool(HWND)>& match, int tries) {
  struct Search {
    const std::function<bool(HWND)>& match;
    HWND found = nullptr;
  };
  const WNDENUMPROC visit = [](HWND window, LPARAM data) -> BOOL {
    auto& s = *reinterpret_cast<Search*>(data);
    if (::IsWindowVisible(window) && s.match(window)) s.found = window;
    return s.found == nullptr;
  };
  for (int i = 0; i < tries; ++i) {
    Search search{match};
    if (thread == 0) {
      ::EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    } else {
      ::EnumThreadWindows(thread, visit, reinterpret_cast<LPARAM>(&search));
    }
    if (search.found != nullptr) return search.found;
    ::Sleep(10);
  }
  return nullptr;
}

bool WaitUntilGone(HWND window) {
  for (int i = 0; i < 2000 && ::IsWindow(window); ++i) ::Sleep(10);
  return !::IsWindow(window);
}

}  // namespace quarnet::win32
