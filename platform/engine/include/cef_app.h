// Process start-up and the message loop.
//
// One process: there are no engine sub-processes, and the renderer-side callbacks
// (CefRenderProcessHandler) run in the browser process on the UI thread.
#pragma once
#include "include/cef_base.h"
#include "include/cef_browser_process_handler.h"
#include "include/cef_command_line.h"
#include "include/cef_render_process_handler.h"
#include "include/cef_resource_bundle_handler.h"
#include "include/cef_scheme.h"
#include "include/cef_task.h"

class CefApp : public virtual CefBaseRefCounted {
 public:
  // |process_type| is empty for the browser process. Runs once per process on the command line
  // made from the process's own: in CefExecuteProcess, or in CefInitialize when the process did
  // not call CefExecuteProcess with the same application first.
  virtual void OnBeforeCommandLineProcessing(const CefString& process_type,
                                             CefRefPtr<CefCommandLine> command_line) {}
  virtual void OnRegisterCustomSchemes(CefRawPtr<CefSchemeRegistrar> registrar) {}
  virtual CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() { return nullptr; }
  virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
  virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// For a command line with "--type=..." (an engine sub-process): runs the command-line hook
// and returns the sub-process's exit code (0). Otherwise runs the hook and returns -1.
int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> application, void* windows_sandbox_info);
// Keeps |settings|, builds the global command line (hook included), opens the cookie store
// under cache_path and makes the calling thread the UI thread. False if already initialised.
bool CefInitialize(const CefMainArgs& args, const CefSettings& settings, CefRefPtr<CefApp> application,
                   void* windows_sandbox_info);
// Closes every browser (OnBeforeClose is called), stops network work and releases the cookie
// file. UI thread only.
void CefShutdown();
void CefDoMessageLoopWork();
// GetMessage loop on the calling thread; returns after WM_QUIT.
void CefRunMessageLoop();
void CefQuitMessageLoop();
void CefSetOSModalLoop(bool osModalLoop);
void CefEnableHighDPISupport();

inline int cef_execute_process(const CefMainArgs& args, CefRefPtr<CefApp> app, void* sandbox) {
  return CefExecuteProcess(args, app, sandbox);
}
inline bool cef_initialize(const CefMainArgs& args, const CefSettings& settings, CefRefPtr<CefApp> app,
                           void* sandbox) {
  return CefInitialize(args, settings, app, sandbox);
}
inline void cef_run_message_loop() { CefRunMessageLoop(); }
inline void cef_quit_message_loop() { CefQuitMessageLoop(); }
inline void cef_shutdown() { CefShutdown(); }
inline void cef_enable_highdpi_support() { CefEnableHighDPISupport(); }
