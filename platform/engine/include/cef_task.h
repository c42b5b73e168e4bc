#pragma once
#include "include/cef_base.h"

class CefTask : public virtual CefBaseRefCounted {
 public:
  virtual void Execute() = 0;
};

// True only on the thread that called CefInitialize (TID_UI); this engine has no other
// named threads, so every other id answers false.
bool CefCurrentlyOn(CefThreadId threadId);
// Only TID_UI is served; other ids return false.
bool CefPostTask(CefThreadId threadId, CefRefPtr<CefTask> task);
bool CefPostDelayedTask(CefThreadId threadId, CefRefPtr<CefTask> task, int64 delay_ms);

inline bool cef_currently_on(cef_thread_id_t threadId) { return CefCurrentlyOn(threadId); }
