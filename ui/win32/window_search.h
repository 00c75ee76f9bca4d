#pragma once
// Finding the windows of the window's thread from another thread, for the
// tests and tools that drive the window as a person would.
#include <functional>

#include "ui/win32/dialog_window.h"

namespace quarnet::win32 {

// A visible top-level window of `thread` (of any thread, any program, when
// 0) that `match` accepts, looked for `tries` times 10 ms apart (20 s by
// default); null if none came.
HWND WaitForWindow(DWORD thread, const std::function<bool(HWND)>& match, int tries = 2000);

// Whether `window` is gone within 20 s.
bool WaitUntilGone(HWND window);

}  // namespace quarnet::win32
