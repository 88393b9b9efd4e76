#pragma once

#include <stdexcept>
#include <string>

// The two kinds of error that the setup program raises. Each carries exactly
// the text that the failure dialog shows; one failure region catches them.
namespace orvanta {

// A fixed English sentence, without path, code or prefix.
class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed file-system query or operation: "op: <system message>: "<path>"".
class FilesystemError : public std::runtime_error {
 public:
  FilesystemError(const char* operation, unsigned long code, const std::wstring& path);

  unsigned long code() const noexcept { return code_; }

 private:
  unsigned long code_;
};

// The system's message for an error code, "unknown error" when it has none.
std::string SystemMessage(unsigned long code);

}  // namespace orvanta
