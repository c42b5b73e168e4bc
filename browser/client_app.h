// The engine application object, handed to the engine in every process of the program: it adds
// the program's switches to every command line and the page function "user_exit" to every
// script context.
#pragma once
#include "include/cef_app.h"

class ClientApp : public CefApp, public CefBrowserProcessHandler, public CefRenderProcessHandler {
public:
    ClientApp() = default;

    // CefApp methods:
    void OnBeforeCommandLineProcessing(const CefString& process_type, CefRefPtr<CefCommandLine> command_line) override;
    CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
    CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

    // CefRenderProcessHandler methods:
    void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                          CefRefPtr<CefV8Context> context) override;
    bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source_process,
                                  CefRefPtr<CefProcessMessage> message) override;

private:
    IMPLEMENT_REFCOUNTING(ClientApp);
};

// The handler behind "user_exit": pages may call it; it does nothing and returns undefined.
class ClientV8Handler : public CefV8Handler {
public:
    bool Execute(const CefString& name, CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments,
                 CefRefPtr<CefV8Value>& retval, CefString& exception) override;

private:
    IMPLEMENT_REFCOUNTING(ClientV8Handler);
};

// The switches every process of the program gets, in this order.
struct EngineSwitch {
    const wchar_t* name;
    const wchar_t* value;
};
extern const EngineSwitch kEngineSwitches[8];
