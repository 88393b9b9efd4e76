#pragma once

#include <exception>
#include <string>

// The two kinds of error that the setup program raises. Each carries exactly
// the text that the failure dialog shows; one failure region catches them.
// They derive from std::exception alone: std::runtime_error would link the
// library's second string type into the program.
namespace orvanta {

// A fixed English sentence, without path, code or prefix. It is made at
// compile time, so it can only point at text that outlives any error: a
// string literal or a constant with static storage, never a local array.
class Sentence {
 public:
  consteval Sentence(const char* text) noexcept : text_(text) {}

  const char* c_str() const noexcept { return text_; }

 private:
  const char* text_;
};

// An error that the program names with one fixed sentence.
class SetupError : public std::exception {
 public:
  explicit SetupError(Sentence text) noexcept : text_(text) {}

  const char* what() const noexcept override { return text_.c_str(); }

 private:
  Sentence text_;
};

// Raises SetupError with the text. Out of line, so that each of the many
// failure sites is one call rather than the exception's allocation, set-up
// and throw written out again.
[[noreturn]] void ThrowSetupError(Sentence text);

// A failed file-system query or operation: "op: <system message>: "<path>"".
class FilesystemError : public std::exception {
 public:
  FilesystemError(const char* operation, unsigned long code, const std::wstring& path);

  const char* what() const noexcept override { return text_.c_str(); }
  unsigned long code() const noexcept { return code_; }

 private:
  std::string text_;
  unsigned long code_;
};

// The system's message for an error code, "unknown error" when it has none.
std::string SystemMessage(unsigned long code);

}  // namespace orvanta
