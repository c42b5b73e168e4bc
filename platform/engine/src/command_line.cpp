#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <mutex>

#include "include/cef_command_line.h"
#include "src/engine_internal.h"

namespace engine {
namespace {

// Switches are stored without their prefix and in lower case (as the engine does on Windows).
std::wstring NormalizeSwitch(const std::wstring& name) {
  size_t start = 0;
  if (name.compare(0, 2, L"--") == 0) {
    start = 2;
  } else if (!name.empty() && (name[0] == L'-' || name[0] == L'/')) {
    start = 1;
  }
  std::wstring out = name.substr(start);
  for (auto& c : out) {
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
  }
  return out;
}

std::wstring QuoteIfNeeded(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      out.push_back(c);
      backslashes = 0;
      continue;
    } else {
      backslashes = 0;
    }
    out.push_back(c);
  }
  out.append(backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

class CommandLineImpl : public CefCommandLine {
 public:
  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefCommandLine> Copy() override {
    std::lock_guard<std::mutex> lock(mutex_);
    CefRefPtr<CommandLineImpl> copy = new CommandLineImpl();
    copy->program_ = program_;
    copy->switches_ = switches_;
    copy->arguments_ = arguments_;
    copy->wrappers_ = wrappers_;
    return copy.get();
  }

  void InitFromArgv(int argc, const char* const* argv) override {
    std::vector<std::wstring> args;
    for (int i = 0; i < argc && argv; ++i) args.push_back(CefString(argv[i] ? argv[i] : "").ToWString());
    InitFromList(args);
  }

  void InitFromString(const CefString& command_line) override {
    std::wstring text = command_line.ToWString();
    std::vector<std::wstring> args;
    // CommandLineToArgvW would invent the program path for blank input.
    if (text.find_first_not_of(L" \t\r\n") != std::wstring::npos) {
      int argc = 0;
      LPWSTR* argv = CommandLineToArgvW(text.c_str(), &argc);
      if (argv) {
        for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
        LocalFree(argv);
      }
    }
    InitFromList(args);
  }

  void Reset() override {
    std::lock_guard<std::mutex> lock(mutex_);
    switches_.clear();
    arguments_.clear();
    wrappers_.clear();
  }

  void GetArgv(std::vector<CefString>& argv) override {
    std::lock_guard<std::mutex> lock(mutex_);
    argv.clear();
    for (auto& w : wrappers_) argv.push_back(w);
    argv.push_back(program_);
    for (auto& s : switches_) argv.push_back(SwitchText(s));
    for (auto& a : arguments_) argv.push_back(a);
  }

  CefString GetCommandLineString() override {
    std::vector<CefString> argv;
    GetArgv(argv);
    std::wstring out;
    for (auto& a : argv) {
      if (!out.empty()) out.push_back(L' ');
      out += QuoteIfNeeded(a.ToWString());
    }
    return out;
  }

  CefString GetProgram() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return program_;
  }
  void SetProgram(const CefString& program) override {
    std::lock_guard<std::mutex> lock(mutex_);
    program_ = program.ToWString();
  }
  bool HasSwitches() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return !switches_.empty();
  }
  bool HasSwitch(const CefString& name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return Find(NormalizeSwitch(name.ToWString())) != switches_.end();
  }
  CefString GetSwitchValue(const CefString& name) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = Find(NormalizeSwitch(name.ToWString()));
    return it == switches_.end() ? std::wstring() : it->second;
  }
  void GetSwitches(SwitchMap& switches) override {
    std::lock_guard<std::mutex> lock(mutex_);
    switches.clear();
    for (auto& s : switches_) switches[s.first] = s.second;
  }
  void AppendSwitch(const CefString& name) override { AppendSwitchWithValue(name, CefString()); }
  void AppendSwitchWithValue(const CefString& name, const CefString& value) override {
    std::wstring key = NormalizeSwitch(name.ToWString());
    if (key.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = Find(key);
    // A repeated switch takes the newer value, in the place of the first one.
    if (it != switches_.end()) {
      it->second = value.ToWString();
    } else {
      switches_.emplace_back(key, value.ToWString());
    }
  }
  bool HasArguments() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return !arguments_.empty();
  }
  void GetArguments(ArgumentList& arguments) override {
    std::lock_guard<std::mutex> lock(mutex_);
    arguments.assign(arguments_.begin(), arguments_.end());
  }
  void AppendArgument(const CefString& argument) override {
    std::lock_guard<std::mutex> lock(mutex_);
    arguments_.push_back(argument.ToWString());
  }
  void PrependWrapper(const CefString& wrapper) override {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> parts;
    int argc = 0;
    std::wstring text = wrapper.ToWString();
    if (text.find_first_not_of(L" \t") == std::wstring::npos) return;
    LPWSTR* argv = CommandLineToArgvW(text.c_str(), &argc);
    if (!argv) return;
    for (int i = 0; i < argc; ++i) parts.push_back(argv[i]);
    LocalFree(argv);
    wrappers_.insert(wrappers_.begin(), parts.begin(), parts.end());
  }

 private:
  using Switch = std::pair<std::wstring, std::wstring>;

  std::vector<Switch>::iterator Find(const std::wstring& key) {
    return std::find_if(switches_.begin(), switches_.end(), [&](const Switch& s) { return s.first == key; });
  }
  static std::wstring SwitchText(const Switch& s) {
    return s.second.empty() ? L"--" + s.first : L"--" + s.first + L"=" + s.second;
  }

  void InitFromList(const std::vector<std::wstring>& args) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      program_ = args.empty() ? std::wstring() : args[0];
      switches_.clear();
      arguments_.clear();
      wrappers_.clear();
    }
    bool switchesDone = false;
    for (size_t i = 1; i < args.size(); ++i) {
      const std::wstring& a = args[i];
      if (!switchesDone && a == L"--") {
        switchesDone = true;
        continue;
      }
      bool isSwitch = !switchesDone && a.size() > 1 && (a[0] == L'-' || a[0] == L'/') && a != L"-";
      if (isSwitch) {
        size_t eq = a.find(L'=');
        if (eq == std::wstring::npos) {
          AppendSwitch(a);
        } else {
          AppendSwitchWithValue(a.substr(0, eq), a.substr(eq + 1));
        }
      } else {
        AppendArgument(a);
      }
    }
  }

  std::mutex mutex_;
  std::wstring program_;
  std::vector<Switch> switches_;
  std::vector<std::wstring> arguments_;
  std::vector<std::wstring> wrappers_;
  IMPLEMENT_REFCOUNTING(CommandLineImpl);
};

}  // namespace

CefRefPtr<CefCommandLine> NewCommandLine() { return new CommandLineImpl(); }

}  // namespace engine

CefRefPtr<CefCommandLine> CefCommandLine::CreateCommandLine() { return engine::NewCommandLine(); }

CefRefPtr<CefCommandLine> CefCommandLine::GetGlobalCommandLine() { return engine::GlobalCommandLine(); }
