#pragma once

#include <windows.h>
#include <objidl.h>
#include <propsys.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A shell-link class registered inside the test process in place of the
// system's: its objects pass every call on to a real shell link and record
// what the code under test asked for. Wine does not store the AppUserModelID
// in the file, so the call record is the only way to see it set.
namespace orvanta::test {

struct LinkCall {
  std::string method;
  std::wstring text;        // the path or string argument
  PROPERTYKEY key{};        // SetValue
  VARTYPE type = VT_EMPTY;  // SetValue
  BOOL remember = FALSE;    // Save
};

struct LinkRecord {
  std::vector<LinkCall> calls;
  // Called when the code under test asks a link for its property store.
  std::function<void()> onPropertyStore;
  // A setter ("SetPath", "SetRelativePath") that answers E_FAIL, as a shell
  // that cannot take its argument does, without passing the call on.
  std::string refused;
  // When set, the path GetPath answers instead of the stored one, as Windows
  // answers with the path it rebuilds from the link's item list.
  std::wstring rebuiltPath;

  // Position of the first call of the method, -1 when there was none.
  int IndexOf(const std::string& method) const;
  const LinkCall* Find(const std::string& method) const;
};

// Registers the recording class for CLSID_ShellLink on this thread's apartment
// for the object's lifetime.
class RecordingShellLinkClass {
 public:
  RecordingShellLinkClass();
  ~RecordingShellLinkClass();
  RecordingShellLinkClass(const RecordingShellLinkClass&) = delete;
  RecordingShellLinkClass& operator=(const RecordingShellLinkClass&) = delete;

  bool registered() const { return cookie_ != 0; }
  LinkRecord& record() { return *record_; }

 private:
  std::shared_ptr<LinkRecord> record_ = std::make_shared<LinkRecord>();
  DWORD cookie_ = 0;
};

// A malloc spy that fails the next task-memory allocation of a given size once
// armed. Registered for the object's lifetime.
class FailingMallocSpy {
 public:
  explicit FailingMallocSpy(SIZE_T size);
  ~FailingMallocSpy();
  FailingMallocSpy(const FailingMallocSpy&) = delete;
  FailingMallocSpy& operator=(const FailingMallocSpy&) = delete;

  // What the spy object shares with its owner.
  struct State;

  bool registered() const { return registered_; }
  void Arm();
  int failures() const;

 private:
  std::shared_ptr<State> state_;
  bool registered_ = false;
};

}  // namespace orvanta::test
