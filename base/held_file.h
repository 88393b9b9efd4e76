#pragma once

#include <string>

// Renames and deletions that another program's hold on a file can block for a
// moment: a virus scanner opens a file the moment it is closed after writing.
// Such a hold is waited out, never for long: a running Orvanta.exe holds its
// image for good, and that failure must still be reported.
namespace orvanta {

// Whether a rename or deletion that failed with this system error code may
// succeed when tried again. A sharing or lock violation may; access denied
// may too, unless the attributes show a read-only file or a directory, which
// Windows never replaces or deletes however long one waits. The attributes
// are those of the file at the destination (for a deletion, of the file being
// deleted), INVALID_FILE_ATTRIBUTES when they cannot be read: a name that is
// absent or still being deleted can be free a moment later. Any other code is
// final.
bool WorthWaitingFor(unsigned long code, unsigned long attributes) noexcept;

// The moment, in GetTickCount64 time, until which a hold is waited out:
// about two seconds from now.
unsigned long long HoldDeadline();

// The wait between the attempts of one step. Asked after each failed
// attempt, with that attempt's error still the thread's last error: true,
// after a pause, when the attempt is worth making again. The attributes of
// the subject (extended-length form) are read once, after the first failure,
// and decide with each failure's code; the subject outlives the wait.
class HoldWait {
 public:
  HoldWait(unsigned long long deadline, const std::wstring& subject) noexcept
      : deadline_(deadline), subject_(subject.c_str()) {}
  bool Again();

 private:
  unsigned long long deadline_;
  const wchar_t* subject_;
  unsigned long attributes_ = 0;
  unsigned long pause_ = 0;
};

// Calls the attempt until it succeeds, fails in a way that waiting cannot
// change, or the deadline passes; true when an attempt succeeded.
template <class Attempt>
bool RetryWhileHeld(unsigned long long deadline, const std::wstring& subject, Attempt attempt) {
  HoldWait wait(deadline, subject);
  while (!attempt()) {
    if (!wait.Again()) return false;
  }
  return true;
}

// Deletes the file at the path (as the user writes it; the extended-length
// form is made here), waiting out a hold until the deadline. True when the
// file is gone, also when it was not there; false when it is still there.
bool DeleteFileWaiting(const std::wstring& path, unsigned long long deadline = HoldDeadline());

}  // namespace orvanta
