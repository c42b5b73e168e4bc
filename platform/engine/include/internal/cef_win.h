// C++ forms of the settings and window records: they own their strings and copy deeply.
#pragma once
#include "include/internal/cef_types.h"

void cef_settings_copy_strings(const cef_settings_t* src, cef_settings_t* dst);
void cef_settings_clear_strings(cef_settings_t* s);
void cef_browser_settings_copy_strings(const cef_browser_settings_t* src, cef_browser_settings_t* dst);
void cef_browser_settings_clear_strings(cef_browser_settings_t* s);

template <class Record, void (*CopyStrings)(const Record*, Record*), void (*ClearStrings)(Record*)>
class CefStructOwner : public Record {
 public:
  CefStructOwner() : Record() { this->size = sizeof(Record); }
  CefStructOwner(const CefStructOwner& r) : Record() { *this = r; }
  CefStructOwner(const Record& r) : Record() { Set(r); }
  ~CefStructOwner() { ClearStrings(this); }
  CefStructOwner& operator=(const CefStructOwner& r) {
    if (this != &r) Set(r);
    return *this;
  }
  CefStructOwner& operator=(const Record& r) {
    Set(r);
    return *this;
  }

 private:
  void Set(const Record& r) {
    if (&r == static_cast<const Record*>(this)) return;
    ClearStrings(this);
    Record copy = r;  // bit copy first, then replace the string fields by owned copies
    CopyStrings(&r, &copy);
    *static_cast<Record*>(this) = copy;
  }
};

typedef CefStructOwner<cef_settings_t, cef_settings_copy_strings, cef_settings_clear_strings> CefSettings;
typedef CefStructOwner<cef_browser_settings_t, cef_browser_settings_copy_strings,
                       cef_browser_settings_clear_strings>
    CefBrowserSettings;

class CefWindowInfo : public cef_window_info_t {
 public:
  CefWindowInfo() : cef_window_info_t() {}
  CefWindowInfo(const CefWindowInfo& r) : cef_window_info_t() { *this = r; }
  ~CefWindowInfo() { cef_string_clear(&window_name); }
  CefWindowInfo& operator=(const CefWindowInfo& r) {
    if (this == &r) return *this;
    cef_string_clear(&window_name);
    cef_window_info_t copy = r;
    copy.window_name = cef_string_t();
    cef_string_set(r.window_name.str, r.window_name.length, &copy.window_name, 1);
    *static_cast<cef_window_info_t*>(this) = copy;
    return *this;
  }

  // A child window filling |windowRect| of |parent|.
  void SetAsChild(CefWindowHandle parent, RECT windowRect) {
    style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VISIBLE;
    parent_window = parent;
    x = windowRect.left;
    y = windowRect.top;
    width = windowRect.right - windowRect.left;
    height = windowRect.bottom - windowRect.top;
  }
  // A top-level window owned by |parent| (may be null).
  void SetAsPopup(CefWindowHandle parent, const CefString& windowName) {
    style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
    parent_window = parent;
    x = y = width = height = CW_USEDEFAULT;
    std::wstring name = windowName.ToWString();
    cef_string_set(name.c_str(), name.size(), &window_name, 1);
  }
  void SetAsWindowless(CefWindowHandle parent) {
    windowless_rendering_enabled = 1;
    parent_window = parent;
  }
};

class CefMainArgs : public cef_main_args_t {
 public:
  CefMainArgs() : cef_main_args_t() {}
  explicit CefMainArgs(HINSTANCE hInstance) : cef_main_args_t() { instance = hInstance; }
};

typedef cef_popup_features_t CefPopupFeatures;
typedef cef_key_event_t CefKeyEvent;
typedef cef_time_t CefTime;
typedef cef_thread_id_t CefThreadId;
typedef cef_process_id_t CefProcessId;
