// File inputs: the client's file dialog or the engine's own open dialog, and the chosen paths
// applied to the page.
#include <atomic>

#include "src/browser_internal.h"
#include "src/engine_internal.h"

namespace engine {
namespace {

class FileDialogCallbackImpl : public CefFileDialogCallback {
 public:
  FileDialogCallbackImpl(int browserId, int64 frameId, int generation, size_t input)
      : browserId_(browserId), frameId_(frameId), generation_(generation), input_(input) {}
  void Continue(int, const std::vector<CefString>& file_paths) override {
    if (done_.exchange(true)) return;
    std::vector<std::wstring> paths;
    for (auto& p : file_paths) {
      if (!p.empty()) paths.push_back(p.ToWString());
    }
    int browserId = browserId_;
    int64 frameId = frameId_;
    int generation = generation_;
    size_t input = input_;
    auto apply = [=]() {
      CefRefPtr<BrowserImpl> b = BrowserImpl::FromId(browserId);
      if (b) b->SetFilePaths(frameId, generation, input, paths);
    };
    if (IsUiThread()) {
      apply();
    } else {
      PostUiTask(apply);
    }
  }
  void Cancel() override { done_ = true; }

 private:
  int browserId_;
  int64 frameId_;
  int generation_;
  size_t input_;
  std::atomic<bool> done_{false};
  IMPLEMENT_REFCOUNTING(FileDialogCallbackImpl);
};

}  // namespace

CefRefPtr<CefFileDialogCallback> NewFileDialogCallback(int browserId, int64 frameId, int generation, size_t input) {
  return new FileDialogCallbackImpl(browserId, frameId, generation, input);
}

void BrowserImpl::ActivateFileInput(LinkRef ref) {
  if (closed_ || !ref.frame || ref.item >= ref.frame->doc_.items.size()) return;
  CefRefPtr<FrameImpl> frame = ref.frame;
  const PageItem item = frame->doc_.items[ref.item];
  size_t input = 0;
  for (size_t i = 0; i < ref.item; ++i) input += frame->doc_.items[i].kind == PageItem::kFileInput;
  std::vector<CefString> filters;
  size_t start = 0;
  while (start <= item.accept.size()) {
    size_t comma = item.accept.find(L',', start);
    std::wstring f = AsciiLower(Trim(item.accept.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start)));
    if (!f.empty()) filters.push_back(f);
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  int mode = (item.multiple ? FILE_DIALOG_OPEN_MULTIPLE : FILE_DIALOG_OPEN) | FILE_DIALOG_OVERWRITEPROMPT_FLAG |
             FILE_DIALOG_HIDEREADONLY_FLAG;
  CefRefPtr<CefFileDialogCallback> callback = NewFileDialogCallback(id_, frame->id_, frame->generation_, input);
  CefRefPtr<BrowserImpl> self(this);
  bool handled = false;
  if (client_) {
    if (CefRefPtr<CefDialogHandler> dh = client_->GetDialogHandler())
      handled = dh->OnFileDialog(this, static_cast<cef_file_dialog_mode_t>(mode), CefString(), CefString(), filters, 0,
                                 callback);
  }
  if (handled || closed_) return;

  // The engine's own open dialog.
  FileDialogSetup setup;
  setup.multiple = item.multiple;
  setup.owner = hwnd_ ? GetAncestor(hwnd_, GA_ROOT) : nullptr;
  std::wstring patterns;
  for (auto& f : filters) {
    std::wstring s = f.ToWString();
    std::wstring p;
    if (!s.empty() && s[0] == L'.') {
      p = L"*" + s;
    } else if (s == L"image/*") {
      p = L"*.png;*.jpg;*.jpeg;*.gif;*.bmp";
    } else if (s == L"text/*") {
      p = L"*.txt;*.csv;*.htm;*.html";
    }
    if (p.empty()) continue;
    if (!patterns.empty()) patterns += L";";
    patterns += p;
  }
  if (!patterns.empty()) setup.filters.emplace_back(ChineseUi() ? L"自定义文件" : L"Custom files", patterns);
  std::vector<std::wstring> chosen = RunFileDialog(setup);
  if (chosen.empty()) {
    callback->Cancel();
    return;
  }
  callback->Continue(0, std::vector<CefString>(chosen.begin(), chosen.end()));
}

std::vector<std::wstring> RunFileDialog(const FileDialogSetup& setup) {
  std::wstring filter;
  for (const auto& f : setup.filters) filter += f.first + std::wstring(1, L'\0') + f.second + std::wstring(1, L'\0');
  filter += (ChineseUi() ? L"所有文件" : L"All files") + std::wstring(1, L'\0') + L"*.*" + std::wstring(2, L'\0');
  size_t size = setup.save ? MAX_PATH * 4 : setup.multiple ? 32768 : MAX_PATH * 2;
  std::vector<wchar_t> buffer(size, L'\0');
  wcsncpy(buffer.data(), setup.path.c_str(), buffer.size() - 1);
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = setup.owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrDefExt = setup.defaultExt.empty() ? nullptr : setup.defaultExt.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (setup.save) {
    ofn.Flags |= OFN_OVERWRITEPROMPT;
  } else {
    ofn.Flags |= OFN_FILEMUSTEXIST | (setup.multiple ? OFN_ALLOWMULTISELECT : 0);
  }
  BOOL chosen = setup.save ? RunSaveFileDialog(&ofn) : RunOpenFileDialog(&ofn);
  if (!chosen) return {};
  // The dialog (or a test's stand-in) may fill the buffer to its end.
  buffer.back() = 0;
  buffer[buffer.size() - 2] = 0;
  std::vector<std::wstring> paths;
  std::wstring first(buffer.data());
  const wchar_t* next = buffer.data() + first.size() + 1;
  if (!setup.save && setup.multiple && *next) {
    // Folder, then the names, each NUL-terminated.
    std::wstring folder = first;
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    while (*next && next < buffer.data() + buffer.size()) {
      std::wstring name(next);
      paths.push_back(folder + name);
      next += name.size() + 1;
    }
  } else if (!first.empty()) {
    paths.push_back(first);
  }
  return paths;
}

void BrowserImpl::SetFilePaths(int64 frameId, int generation, size_t input, const std::vector<std::wstring>& paths) {
  CefRefPtr<FrameImpl> frame = static_cast<FrameImpl*>(GetFrame(frameId).get());
  if (!frame || generation != frame->generation_ || input >= frame->filePaths_.size()) return;  // page changed
  frame->filePaths_[input] = paths;
  Layout();
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

}  // namespace engine
