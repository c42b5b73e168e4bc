#include <mutex>
#include <vector>

#include "include/cef_process_message.h"
#include "include/cef_request_context.h"
#include "include/cef_values.h"
#include "include/wrapper/cef_closure_task.h"
#include "src/engine_internal.h"

namespace {

struct Value {
  CefValueType type = VTYPE_NULL;
  bool b = false;
  int i = 0;
  double d = 0;
  std::wstring s;
};

class ListValueImpl : public CefListValue {
 public:
  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefListValue> Copy() override {
    std::lock_guard<std::mutex> lock(mutex_);
    CefRefPtr<ListValueImpl> copy = new ListValueImpl();
    copy->values_ = values_;
    return copy.get();
  }
  bool SetSize(size_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.resize(size);
    return true;
  }
  size_t GetSize() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_.size();
  }
  bool Clear() override {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
    return true;
  }
  bool Remove(size_t index) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= values_.size()) return false;
    values_.erase(values_.begin() + index);
    return true;
  }
  CefValueType GetType(size_t index) override { return Get(index).type; }
  bool GetBool(size_t index) override { return Get(index).b; }
  int GetInt(size_t index) override { return Get(index).i; }
  double GetDouble(size_t index) override { return Get(index).d; }
  CefString GetString(size_t index) override { return Get(index).s; }
  bool SetNull(size_t index) override { return Set(index, Value()); }
  bool SetBool(size_t index, bool value) override {
    Value v;
    v.type = VTYPE_BOOL;
    v.b = value;
    return Set(index, v);
  }
  bool SetInt(size_t index, int value) override {
    Value v;
    v.type = VTYPE_INT;
    v.i = value;
    v.d = value;
    return Set(index, v);
  }
  bool SetDouble(size_t index, double value) override {
    Value v;
    v.type = VTYPE_DOUBLE;
    v.d = value;
    return Set(index, v);
  }
  bool SetString(size_t index, const CefString& value) override {
    Value v;
    v.type = VTYPE_STRING;
    v.s = value.ToWString();
    return Set(index, v);
  }

 private:
  Value Get(size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= values_.size()) {
      Value invalid;
      invalid.type = VTYPE_INVALID;
      return invalid;
    }
    return values_[index];
  }
  bool Set(size_t index, const Value& v) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index > 1000000) return false;  // a sane bound on what a caller can make us allocate
    if (index >= values_.size()) values_.resize(index + 1);
    values_[index] = v;
    return true;
  }

  std::mutex mutex_;
  std::vector<Value> values_;
  IMPLEMENT_REFCOUNTING(ListValueImpl);
};

class ProcessMessageImpl : public CefProcessMessage {
 public:
  ProcessMessageImpl(const std::wstring& name, CefRefPtr<CefListValue> args) : name_(name), args_(args) {}
  bool IsValid() override { return true; }
  bool IsReadOnly() override { return false; }
  CefRefPtr<CefProcessMessage> Copy() override { return new ProcessMessageImpl(name_, args_->Copy()); }
  CefString GetName() override { return name_; }
  CefRefPtr<CefListValue> GetArgumentList() override { return args_; }

 private:
  std::wstring name_;
  CefRefPtr<CefListValue> args_;
  IMPLEMENT_REFCOUNTING(ProcessMessageImpl);
};

class GlobalRequestContext : public CefRequestContext {
 public:
  bool IsGlobal() override { return true; }
  CefString GetCachePath() override { return CefString(); }
  IMPLEMENT_REFCOUNTING(GlobalRequestContext);
};

}  // namespace

CefRefPtr<CefListValue> CefListValue::Create() { return new ListValueImpl(); }

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  return new ProcessMessageImpl(name.ToWString(), CefListValue::Create());
}

CefRefPtr<CefRequestContext> CefRequestContext::GetGlobalContext() {
  static CefRefPtr<CefRequestContext> global = new GlobalRequestContext();
  return global;
}

namespace {
class ClosureTask : public CefTask {
 public:
  explicit ClosureTask(const base::Closure& closure) : closure_(closure) {}
  void Execute() override {
    if (closure_) closure_();
  }

 private:
  base::Closure closure_;
  IMPLEMENT_REFCOUNTING(ClosureTask);
};
}  // namespace

CefRefPtr<CefTask> CefCreateClosureTask(const base::Closure& closure) { return new ClosureTask(closure); }

bool CefPostTask(CefThreadId threadId, const base::Closure& closure) {
  return CefPostTask(threadId, CefCreateClosureTask(closure));
}

bool CefPostDelayedTask(CefThreadId threadId, const base::Closure& closure, int64 delay_ms) {
  return CefPostDelayedTask(threadId, CefCreateClosureTask(closure), delay_ms);
}
