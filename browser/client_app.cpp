#include "browser/client_app.h"

const EngineSwitch kEngineSwitches[8] = {
    {L"--ppapi-flash-path", L"plugins/18_0_0_209/pepflashplayer32_18_0_0_209.dll"},
    {L"--ppapi-flash-version", L"50.0.0.209"},
    {L"disable-gpu", L"1"},
    {L"disable-gpu-compositing", L"1"},
    {L"enable-begin-frame-scheduling", L"1"},
    {L"disable-gpu-vsync", L"1"},
    {L"disable-direct-write", L"1"},
    {L"product-version", L"Chrome/71.0.3578.20,quorvane"},
};

void ClientApp::OnBeforeCommandLineProcessing(const CefString&, CefRefPtr<CefCommandLine> command_line) {
    // The same switches for the browser process and every sub-process.
    for (const EngineSwitch& sw : kEngineSwitches) command_line->AppendSwitchWithValue(sw.name, sw.value);
}

void ClientApp::OnContextCreated(CefRefPtr<CefBrowser>, CefRefPtr<CefFrame>, CefRefPtr<CefV8Context> context) {
    CefRefPtr<CefV8Value> global = context->GetGlobal();
    CefRefPtr<CefV8Handler> handler = new ClientV8Handler();
    CefRefPtr<CefV8Value> function = CefV8Value::CreateFunction("user_exit", handler);
    global->SetValue("user_exit", function, V8_PROPERTY_ATTRIBUTE_NONE);
}

bool ClientApp::OnProcessMessageReceived(CefRefPtr<CefBrowser>, CefProcessId, CefRefPtr<CefProcessMessage>) {
    return false;
}

bool ClientV8Handler::Execute(const CefString& name, CefRefPtr<CefV8Value>, const CefV8ValueList&,
                              CefRefPtr<CefV8Value>&, CefString&) {
    return name == "user_exit";
}
