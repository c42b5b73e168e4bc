#pragma once
#include <windows.h>

#include "include/cef_task.h"

// Marks callbacks that belong to the UI thread. Debug builds stop in the debugger when one
// runs elsewhere; release builds check nothing (as the engine's own DCHECKs).
#ifdef NDEBUG
#define CEF_REQUIRE_UI_THREAD() ((void)0)
#else
#define CEF_REQUIRE_UI_THREAD()                                               \
  do {                                                                        \
    if (!CefCurrentlyOn(TID_UI)) {                                            \
      OutputDebugStringW(L"CEF_REQUIRE_UI_THREAD failed\n");                  \
      if (IsDebuggerPresent()) DebugBreak();                                  \
    }                                                                         \
  } while (0)
#endif
#define CEF_REQUIRE_IO_THREAD() ((void)0)
#define CEF_REQUIRE_FILE_THREAD() ((void)0)
#define CEF_REQUIRE_RENDERER_THREAD() CEF_REQUIRE_UI_THREAD()
