#include <algorithm>
#include <cwctype>
#include <vector>

#include "src/engine_internal.h"
#include "src/v8_internal.h"

namespace {

class ExceptionImpl : public CefV8Exception {
 public:
  explicit ExceptionImpl(const std::wstring& message) : message_(message) {}
  CefString GetMessage() override { return message_; }
  CefString GetSourceLine() override { return CefString(); }
  int GetLineNumber() override { return 0; }

 private:
  std::wstring message_;
  IMPLEMENT_REFCOUNTING(ExceptionImpl);
};

class V8ContextImpl;
std::vector<V8ContextImpl*>& EnteredContexts() {
  static std::vector<V8ContextImpl*> stack;
  return stack;
}

class V8ValueImpl : public CefV8Value {
 public:
  enum Type { kUndefined, kNull, kBool, kInt, kUInt, kDouble, kString, kObject, kArray, kFunction };
  explicit V8ValueImpl(Type type) : type_(type) {}

  Type type_;
  bool bool_ = false;
  int32 int_ = 0;
  uint32 uint_ = 0;
  double double_ = 0;
  std::wstring string_;
  struct Property {
    std::wstring key;
    CefRefPtr<CefV8Value> value;
    int attribute = V8_PROPERTY_ATTRIBUTE_NONE;
  };
  std::vector<Property> properties_;
  std::vector<CefRefPtr<CefV8Value>> elements_;
  std::wstring functionName_;
  CefRefPtr<CefV8Handler> handler_;
  CefRefPtr<CefV8Exception> exception_;

  bool IsValid() override { return true; }
  bool IsUndefined() override { return type_ == kUndefined; }
  bool IsNull() override { return type_ == kNull; }
  bool IsBool() override { return type_ == kBool; }
  bool IsInt() override { return type_ == kInt || (type_ == kUInt && uint_ <= 0x7FFFFFFF); }
  bool IsUInt() override { return type_ == kUInt || (type_ == kInt && int_ >= 0); }
  bool IsDouble() override { return type_ == kDouble || type_ == kInt || type_ == kUInt; }
  bool IsString() override { return type_ == kString; }
  bool IsObject() override { return type_ == kObject || type_ == kArray || type_ == kFunction; }
  bool IsArray() override { return type_ == kArray; }
  bool IsFunction() override { return type_ == kFunction; }
  bool IsSame(CefRefPtr<CefV8Value> that) override { return that.get() == this; }

  bool GetBoolValue() override { return type_ == kBool ? bool_ : false; }
  int32 GetIntValue() override {
    if (type_ == kInt) return int_;
    if (type_ == kUInt) return static_cast<int32>(uint_);
    if (type_ == kDouble) return static_cast<int32>(double_);
    return 0;
  }
  uint32 GetUIntValue() override {
    if (type_ == kUInt) return uint_;
    if (type_ == kInt) return static_cast<uint32>(int_);
    if (type_ == kDouble) return static_cast<uint32>(double_);
    return 0;
  }
  double GetDoubleValue() override {
    if (type_ == kDouble) return double_;
    if (type_ == kInt) return int_;
    if (type_ == kUInt) return uint_;
    return 0;
  }
  CefString GetStringValue() override { return type_ == kString ? string_ : std::wstring(); }

  bool HasException() override { return exception_ != nullptr; }
  CefRefPtr<CefV8Exception> GetException() override { return exception_; }
  bool ClearException() override {
    exception_ = nullptr;
    return true;
  }

  bool HasValue(const CefString& key) override { return Find(key.ToWString()) != properties_.end(); }
  bool HasValue(int index) override {
    return type_ == kArray && index >= 0 && index < static_cast<int>(elements_.size()) && elements_[index];
  }
  bool DeleteValue(const CefString& key) override {
    auto it = Find(key.ToWString());
    if (it == properties_.end()) return IsObject();
    if (it->attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE) return false;
    properties_.erase(it);
    return true;
  }
  bool DeleteValue(int index) override {
    if (!HasValue(index)) return false;
    elements_[index] = nullptr;
    return true;
  }
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override {
    auto it = Find(key.ToWString());
    if (it == properties_.end()) return IsObject() ? CefV8Value::CreateUndefined() : nullptr;
    return it->value;
  }
  CefRefPtr<CefV8Value> GetValue(int index) override {
    if (!HasValue(index)) return type_ == kArray ? CefV8Value::CreateUndefined() : nullptr;
    return elements_[index];
  }
  bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value, PropertyAttribute attribute) override {
    if (!IsObject() || !value) return false;
    auto it = Find(key.ToWString());
    if (it != properties_.end()) {
      if (it->attribute & V8_PROPERTY_ATTRIBUTE_READONLY) return false;
      it->value = value;
      it->attribute = attribute;
      return true;
    }
    properties_.push_back(Property{key.ToWString(), value, attribute});
    return true;
  }
  bool SetValue(int index, CefRefPtr<CefV8Value> value) override {
    if (type_ != kArray || index < 0 || index > 10000000 || !value) return false;
    if (index >= static_cast<int>(elements_.size())) elements_.resize(index + 1);
    elements_[index] = value;
    return true;
  }
  bool GetKeys(std::vector<CefString>& keys) override {
    keys.clear();
    for (auto& p : properties_) {
      if (!(p.attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM)) keys.push_back(p.key);
    }
    return IsObject();
  }
  int GetArrayLength() override { return type_ == kArray ? static_cast<int>(elements_.size()) : 0; }

  CefString GetFunctionName() override { return functionName_; }
  CefRefPtr<CefV8Handler> GetFunctionHandler() override { return handler_; }
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override;

 private:
  std::vector<Property>::iterator Find(const std::wstring& key) {
    return std::find_if(properties_.begin(), properties_.end(), [&](const Property& p) { return p.key == key; });
  }
  IMPLEMENT_REFCOUNTING(V8ValueImpl);
};

class V8ContextImpl : public CefV8Context {
 public:
  V8ContextImpl(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame)
      : browser_(browser), frame_(frame), global_(new V8ValueImpl(V8ValueImpl::kObject)) {}

  bool IsValid() override { return valid_; }
  CefRefPtr<CefBrowser> GetBrowser() override { return browser_; }
  CefRefPtr<CefFrame> GetFrame() override { return frame_; }
  CefRefPtr<CefV8Value> GetGlobal() override { return global_; }
  bool Enter() override {
    if (!valid_) return false;
    EnteredContexts().push_back(this);
    return true;
  }
  bool Exit() override {
    auto& stack = EnteredContexts();
    auto it = std::find(stack.rbegin(), stack.rend(), this);
    if (it == stack.rend()) return false;
    stack.erase(std::next(it).base());
    return true;
  }
  bool IsSame(CefRefPtr<CefV8Context> that) override { return that.get() == this; }

  void Invalidate() {
    valid_ = false;
    browser_ = nullptr;
    frame_ = nullptr;
  }

 private:
  bool valid_ = true;
  CefRefPtr<CefBrowser> browser_;
  CefRefPtr<CefFrame> frame_;
  CefRefPtr<CefV8Value> global_;
  IMPLEMENT_REFCOUNTING(V8ContextImpl);
};

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunction(CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments) {
  exception_ = nullptr;
  if (type_ != kFunction || !handler_) return nullptr;
  CefRefPtr<CefV8Value> retval;
  CefString exception;
  CefRefPtr<CefV8Value> self = object ? object : CefV8Value::CreateUndefined();
  bool handled = handler_->Execute(functionName_, self, arguments, retval, exception);
  if (!exception.empty()) {
    exception_ = new ExceptionImpl(exception.ToWString());
    return nullptr;
  }
  if (!handled) {
    exception_ = new ExceptionImpl(L"Uncaught Error: not handled");
    return nullptr;
  }
  return retval ? retval : CefV8Value::CreateUndefined();
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                              CefRefPtr<CefV8Value> object,
                                                              const CefV8ValueList& arguments) {
  if (!context || !context->Enter()) return nullptr;
  CefRefPtr<CefV8Value> result = ExecuteFunction(object, arguments);
  context->Exit();
  return result;
}

}  // namespace

CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() { return new V8ValueImpl(V8ValueImpl::kUndefined); }
CefRefPtr<CefV8Value> CefV8Value::CreateNull() { return new V8ValueImpl(V8ValueImpl::kNull); }
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  auto* v = new V8ValueImpl(V8ValueImpl::kBool);
  v->bool_ = value;
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32 value) {
  auto* v = new V8ValueImpl(V8ValueImpl::kInt);
  v->int_ = value;
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32 value) {
  auto* v = new V8ValueImpl(V8ValueImpl::kUInt);
  v->uint_ = value;
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  auto* v = new V8ValueImpl(V8ValueImpl::kDouble);
  v->double_ = value;
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  auto* v = new V8ValueImpl(V8ValueImpl::kString);
  v->string_ = value.ToWString();
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateObject(CefRefPtr<CefV8Accessor>, CefRefPtr<CefV8Interceptor>) {
  return new V8ValueImpl(V8ValueImpl::kObject);
}
CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  auto* v = new V8ValueImpl(V8ValueImpl::kArray);
  if (length > 0 && length <= 10000000) v->elements_.resize(length);
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name, CefRefPtr<CefV8Handler> handler) {
  if (!handler) return nullptr;
  auto* v = new V8ValueImpl(V8ValueImpl::kFunction);
  v->functionName_ = name.ToWString();
  v->handler_ = handler;
  return v;
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  auto& stack = EnteredContexts();
  return stack.empty() ? nullptr : stack.back();
}
CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() { return GetCurrentContext(); }
bool CefV8Context::InContext() { return !EnteredContexts().empty(); }

namespace engine {

CefRefPtr<CefV8Context> NewV8Context(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame) {
  return new V8ContextImpl(browser, frame);
}

void InvalidateV8Context(CefRefPtr<CefV8Context> context) {
  if (context) static_cast<V8ContextImpl*>(context.get())->Invalidate();
}

bool CallGlobalFunction(CefRefPtr<CefV8Context> context, const std::wstring& name, const CefV8ValueList& args) {
  if (!context || !context->IsValid()) return false;
  CefRefPtr<CefV8Value> global = context->GetGlobal();
  CefRefPtr<CefV8Value> fn = global->GetValue(name);
  if (!fn || !fn->IsFunction()) return false;
  fn->ExecuteFunctionWithContext(context, global, args);
  return true;
}

namespace {

class ArgParser {
 public:
  explicit ArgParser(const std::wstring& text) : t_(text) {}

  CefV8ValueList ParseList() {
    CefV8ValueList out;
    Skip();
    if (p_ >= t_.size()) return out;
    for (;;) {
      out.push_back(ParseValue(0));
      Skip();
      if (p_ < t_.size() && t_[p_] == L',') {
        ++p_;
        continue;
      }
      break;
    }
    return out;
  }

 private:
  void Skip() {
    while (p_ < t_.size() && std::iswspace(t_[p_])) ++p_;
  }

  CefRefPtr<CefV8Value> ParseValue(int depth) {
    Skip();
    if (p_ >= t_.size() || depth > 32) return CefV8Value::CreateUndefined();
    wchar_t c = t_[p_];
    if (c == L'\'' || c == L'"') return CefV8Value::CreateString(ParseString());
    if (c == L'{') return ParseObject(depth);
    if (c == L'[') return ParseArray(depth);
    if (c == L'-' || c == L'+' || c == L'.' || std::iswdigit(c)) {
      size_t start = p_;
      ++p_;
      while (p_ < t_.size() && (std::iswalnum(t_[p_]) || t_[p_] == L'.' || t_[p_] == L'-' || t_[p_] == L'+')) ++p_;
      std::wstring num = t_.substr(start, p_ - start);
      wchar_t* end = nullptr;
      double d = std::wcstod(num.c_str(), &end);
      if (!end || *end) return CefV8Value::CreateUndefined();
      if (d == static_cast<int32>(d) && num.find_first_of(L".eE") == std::wstring::npos) {
        return CefV8Value::CreateInt(static_cast<int32>(d));
      }
      return CefV8Value::CreateDouble(d);
    }
    size_t start = p_;
    while (p_ < t_.size() && (std::iswalnum(t_[p_]) || t_[p_] == L'_' || t_[p_] == L'$' || t_[p_] == L'.')) ++p_;
    std::wstring word = t_.substr(start, p_ - start);
    if (word.empty()) {
      // Something we do not understand: skip to the next argument.
      int nest = 0;
      while (p_ < t_.size() && !(nest == 0 && t_[p_] == L',')) {
        if (t_[p_] == L'(' || t_[p_] == L'[' || t_[p_] == L'{') ++nest;
        if (t_[p_] == L')' || t_[p_] == L']' || t_[p_] == L'}') --nest;
        ++p_;
      }
      return CefV8Value::CreateUndefined();
    }
    if (word == L"true") return CefV8Value::CreateBool(true);
    if (word == L"false") return CefV8Value::CreateBool(false);
    if (word == L"null") return CefV8Value::CreateNull();
    return CefV8Value::CreateUndefined();
  }

  std::wstring ParseString() {
    wchar_t q = t_[p_++];
    std::wstring out;
    while (p_ < t_.size() && t_[p_] != q) {
      wchar_t c = t_[p_++];
      if (c == L'\\' && p_ < t_.size()) {
        wchar_t e = t_[p_++];
        switch (e) {
          case L'n': out.push_back(L'\n'); break;
          case L't': out.push_back(L'\t'); break;
          case L'r': out.push_back(L'\r'); break;
          case L'u':
            if (p_ + 4 <= t_.size()) {
              out.push_back(static_cast<wchar_t>(std::wcstoul(t_.substr(p_, 4).c_str(), nullptr, 16)));
              p_ += 4;
            }
            break;
          default: out.push_back(e);
        }
      } else {
        out.push_back(c);
      }
    }
    if (p_ < t_.size()) ++p_;
    return out;
  }

  CefRefPtr<CefV8Value> ParseObject(int depth) {
    ++p_;
    CefRefPtr<CefV8Value> obj = CefV8Value::CreateObject(nullptr, nullptr);
    for (;;) {
      Skip();
      if (p_ >= t_.size()) break;
      if (t_[p_] == L'}') {
        ++p_;
        break;
      }
      std::wstring key;
      if (t_[p_] == L'\'' || t_[p_] == L'"') {
        key = ParseString();
      } else {
        size_t s = p_;
        while (p_ < t_.size() && (std::iswalnum(t_[p_]) || t_[p_] == L'_' || t_[p_] == L'$')) ++p_;
        key = t_.substr(s, p_ - s);
        if (key.empty()) {
          ++p_;
          continue;
        }
      }
      Skip();
      if (p_ < t_.size() && t_[p_] == L':') ++p_;
      obj->SetValue(key, ParseValue(depth + 1), V8_PROPERTY_ATTRIBUTE_NONE);
      Skip();
      if (p_ < t_.size() && t_[p_] == L',') ++p_;
    }
    return obj;
  }

  CefRefPtr<CefV8Value> ParseArray(int depth) {
    ++p_;
    CefRefPtr<CefV8Value> arr = CefV8Value::CreateArray(0);
    int index = 0;
    for (;;) {
      Skip();
      if (p_ >= t_.size()) break;
      if (t_[p_] == L']') {
        ++p_;
        break;
      }
      size_t before = p_;
      arr->SetValue(index++, ParseValue(depth + 1));
      Skip();
      if (p_ < t_.size() && t_[p_] == L',') ++p_;
      if (p_ == before) ++p_;  // always make progress
    }
    return arr;
  }

  const std::wstring& t_;
  size_t p_ = 0;
};

}  // namespace

CefV8ValueList ParseScriptArguments(const std::wstring& text) { return ArgParser(text).ParseList(); }

}  // namespace engine
