#pragma once
#include "include/cef_base.h"
#include "include/cef_command_line.h"
#include "include/cef_values.h"

class CefPrintHandler : public virtual CefBaseRefCounted {};

class CefBrowserProcessHandler : public virtual CefBaseRefCounted {
 public:
  // Called at the end of CefInitialize, on the UI thread.
  virtual void OnContextInitialized() {}
  // Never called: this engine starts no child processes.
  virtual void OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine> command_line) {}
  virtual void OnRenderProcessThreadCreated(CefRefPtr<CefListValue> extra_info) {}
  virtual CefRefPtr<CefPrintHandler> GetPrintHandler() { return nullptr; }
  virtual void OnScheduleMessagePumpWork(int64 delay_ms) {}
};
