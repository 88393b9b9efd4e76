#include "component/recording_link.h"

#include <shlobj.h>

#include <atomic>

using Microsoft::WRL::ComPtr;

namespace orvanta::test {

int LinkRecord::IndexOf(const std::string& method) const {
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].method == method) return static_cast<int>(i);
  }
  return -1;
}

const LinkCall* LinkRecord::Find(const std::string& method) const {
  const int index = IndexOf(method);
  return index < 0 ? nullptr : &calls[index];
}

namespace {

// IUnknown's reference count for the test's own COM objects. WRL's
// RuntimeClass is not in this mingw, so the test classes count for themselves;
// product code only ever holds interfaces through ComPtr.
template <class... Interfaces>
class CountedObject : public Interfaces... {
 public:
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG remaining = --refs_;
    if (remaining == 0) delete this;
    return remaining;
  }

 protected:
  virtual ~CountedObject() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// IUnknown for a test object that implements one interface besides it.
template <class Interface, const IID& kInterfaceId>
class SingleInterfaceObject : public CountedObject<Interface> {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (riid != IID_IUnknown && riid != kInterfaceId) return E_NOINTERFACE;
    *object = static_cast<Interface*>(this);
    this->AddRef();
    return S_OK;
  }
};

class RecordingLink final
    : public CountedObject<IShellLinkW, IPersistFile, IPersistStream, IPropertyStore> {
 public:
  RecordingLink(ComPtr<IShellLinkW> inner, std::shared_ptr<LinkRecord> record)
      : link_(std::move(inner)), record_(std::move(record)) {
    link_.As(&file_);
    link_.As(&stream_);
  }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IShellLinkW) {
      *object = static_cast<IShellLinkW*>(this);
    } else if ((riid == IID_IPersistFile || riid == IID_IPersist) && file_) {
      *object = static_cast<IPersistFile*>(this);
    } else if (riid == IID_IPersistStream && stream_) {
      *object = static_cast<IPersistStream*>(this);
    } else if (riid == IID_IPropertyStore && SUCCEEDED(link_.As(&store_))) {
      if (record_->onPropertyStore) record_->onPropertyStore();
      *object = static_cast<IPropertyStore*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IShellLinkW
  STDMETHODIMP GetPath(LPWSTR file, int cch, WIN32_FIND_DATAW* data, DWORD flags) override {
    const std::wstring& rebuilt = record_->rebuiltPath;
    if (rebuilt.empty() || cch <= 0) return link_->GetPath(file, cch, data, flags);
    file[rebuilt.copy(file, static_cast<std::size_t>(cch) - 1)] = L'\0';
    return S_OK;
  }
  STDMETHODIMP GetIDList(PIDLIST_ABSOLUTE* list) override { return link_->GetIDList(list); }
  STDMETHODIMP SetIDList(PCIDLIST_ABSOLUTE list) override {
    return Logged(link_, "SetIDList")->SetIDList(list);
  }
  STDMETHODIMP GetDescription(LPWSTR name, int cch) override {
    return link_->GetDescription(name, cch);
  }
  STDMETHODIMP SetDescription(LPCWSTR name) override {
    return Logged(link_, "SetDescription", name)->SetDescription(name);
  }
  STDMETHODIMP GetWorkingDirectory(LPWSTR dir, int cch) override {
    return link_->GetWorkingDirectory(dir, cch);
  }
  STDMETHODIMP SetWorkingDirectory(LPCWSTR dir) override {
    return Logged(link_, "SetWorkingDirectory", dir)->SetWorkingDirectory(dir);
  }
  STDMETHODIMP GetArguments(LPWSTR args, int cch) override {
    return link_->GetArguments(args, cch);
  }
  STDMETHODIMP SetArguments(LPCWSTR args) override {
    return Logged(link_, "SetArguments", args)->SetArguments(args);
  }
  STDMETHODIMP GetHotkey(WORD* hotkey) override { return link_->GetHotkey(hotkey); }
  STDMETHODIMP SetHotkey(WORD hotkey) override {
    return Logged(link_, "SetHotkey")->SetHotkey(hotkey);
  }
  STDMETHODIMP GetShowCmd(int* show) override { return link_->GetShowCmd(show); }
  STDMETHODIMP SetShowCmd(int show) override {
    return Logged(link_, "SetShowCmd")->SetShowCmd(show);
  }
  STDMETHODIMP GetIconLocation(LPWSTR path, int cch, int* index) override {
    return link_->GetIconLocation(path, cch, index);
  }
  STDMETHODIMP SetIconLocation(LPCWSTR path, int index) override {
    return Logged(link_, "SetIconLocation", path)->SetIconLocation(path, index);
  }
  STDMETHODIMP SetRelativePath(LPCWSTR path, DWORD reserved) override {
    Log("SetRelativePath", path);
    if (record_->refused == "SetRelativePath") return E_FAIL;
    return link_->SetRelativePath(path, reserved);
  }
  STDMETHODIMP Resolve(HWND window, DWORD flags) override {
    return Logged(link_, "Resolve")->Resolve(window, flags);
  }
  STDMETHODIMP SetPath(LPCWSTR file) override {
    Log("SetPath", file);
    if (record_->refused == "SetPath") return E_FAIL;
    return link_->SetPath(file);
  }

  // IPersistFile
  STDMETHODIMP GetClassID(CLSID* id) override { return file_->GetClassID(id); }
  STDMETHODIMP IsDirty() override { return file_->IsDirty(); }
  STDMETHODIMP Load(LPCOLESTR name, DWORD mode) override {
    return Logged(file_, "Load", name)->Load(name, mode);
  }
  STDMETHODIMP Save(LPCOLESTR name, BOOL remember) override {
    Log("Save", name).remember = remember;
    return file_->Save(name, remember);
  }
  STDMETHODIMP SaveCompleted(LPCOLESTR name) override { return file_->SaveCompleted(name); }
  STDMETHODIMP GetCurFile(LPOLESTR* name) override { return file_->GetCurFile(name); }

  // IPersistStream
  STDMETHODIMP Load(IStream* stream) override { return Logged(stream_, "Load")->Load(stream); }
  STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override {
    Log("Save").remember = clearDirty;
    return stream_->Save(stream, clearDirty);
  }
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override { return stream_->GetSizeMax(size); }

  // IPropertyStore
  STDMETHODIMP GetCount(DWORD* count) override { return store_->GetCount(count); }
  STDMETHODIMP GetAt(DWORD index, PROPERTYKEY* key) override { return store_->GetAt(index, key); }
  STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
    return store_->GetValue(key, value);
  }
  STDMETHODIMP SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override {
    LinkCall& call = Log("SetValue", value.vt == VT_LPWSTR ? value.pwszVal : nullptr);
    call.key = key;
    call.type = value.vt;
    return store_->SetValue(key, value);
  }
  STDMETHODIMP Commit() override { return Logged(store_, "Commit")->Commit(); }

 private:
  ~RecordingLink() override = default;

  LinkCall& Log(const char* method, LPCWSTR text = nullptr) {
    record_->calls.push_back({method, text == nullptr ? L"" : text});
    return record_->calls.back();
  }

  // Records the call, then gives the real object to pass it on to.
  template <class Inner>
  Inner* Logged(const ComPtr<Inner>& inner, const char* method, LPCWSTR text = nullptr) {
    Log(method, text);
    return inner.Get();
  }

  ComPtr<IShellLinkW> link_;
  ComPtr<IPersistFile> file_;
  ComPtr<IPersistStream> stream_;
  ComPtr<IPropertyStore> store_;
  std::shared_ptr<LinkRecord> record_;
};

class RecordingFactory final : public SingleInterfaceObject<IClassFactory, IID_IClassFactory> {
 public:
  RecordingFactory(ComPtr<IClassFactory> real, std::shared_ptr<LinkRecord> record)
      : real_(std::move(real)), record_(std::move(record)) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComPtr<IShellLinkW> inner;
    const HRESULT created = real_->CreateInstance(nullptr, IID_PPV_ARGS(&inner));
    if (FAILED(created)) return created;
    ComPtr<IShellLinkW> wrapper;
    wrapper.Attach(new RecordingLink(std::move(inner), record_));
    return wrapper->QueryInterface(riid, object);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  ~RecordingFactory() override = default;

  ComPtr<IClassFactory> real_;
  std::shared_ptr<LinkRecord> record_;
};

}  // namespace

RecordingShellLinkClass::RecordingShellLinkClass() {
  // The real class object first: once ours is registered, it would be the answer.
  ComPtr<IClassFactory> real;
  if (FAILED(
          CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&real)))) {
    return;
  }
  ComPtr<IClassFactory> factory;
  factory.Attach(new RecordingFactory(std::move(real), record_));
  if (FAILED(CoRegisterClassObject(CLSID_ShellLink, factory.Get(), CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie_))) {
    cookie_ = 0;
  }
}

RecordingShellLinkClass::~RecordingShellLinkClass() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
}

struct FailingMallocSpy::State {
  SIZE_T size = 0;
  std::atomic<bool> armed{false};
  std::atomic<int> failures{0};
};

namespace {

class SizeFailingSpy final : public SingleInterfaceObject<IMallocSpy, IID_IMallocSpy> {
 public:
  explicit SizeFailingSpy(std::shared_ptr<FailingMallocSpy::State> state)
      : state_(std::move(state)) {}

  // Answering 0 for a non-zero request makes the allocation fail.
  STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T request) override {
    if (request != state_->size || !state_->armed.exchange(false)) return request;
    ++state_->failures;
    return 0;
  }
  STDMETHODIMP_(void*) PostAlloc(void* actual) override { return actual; }
  STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return request; }
  STDMETHODIMP_(void) PostFree(BOOL) override {}
  STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
    *newRequest = request;
    return size;
  }
  STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override { return actual; }
  STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
  STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
  STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  STDMETHODIMP_(void) PreHeapMinimize() override {}
  STDMETHODIMP_(void) PostHeapMinimize() override {}

 private:
  ~SizeFailingSpy() override = default;

  std::shared_ptr<FailingMallocSpy::State> state_;
};

}  // namespace

FailingMallocSpy::FailingMallocSpy(SIZE_T size) : state_(std::make_shared<State>()) {
  state_->size = size;
  ComPtr<IMallocSpy> spy;
  spy.Attach(new SizeFailingSpy(state_));
  registered_ = SUCCEEDED(CoRegisterMallocSpy(spy.Get()));
}

FailingMallocSpy::~FailingMallocSpy() {
  // With allocations still outstanding the system revokes the spy once they are freed.
  if (registered_) CoRevokeMallocSpy();
}

void FailingMallocSpy::Arm() { state_->armed = true; }

int FailingMallocSpy::failures() const { return state_->failures; }

}  // namespace orvanta::test
