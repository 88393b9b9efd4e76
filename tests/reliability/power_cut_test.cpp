#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "reliability/outcome.h"
#include "reliability/reliability.h"
#include "reliability/states.h"

// Records what the setup program does to the file system in an install, an
// update and a removal, builds every state that a cut after each operation
// could leave on a local NTFS volume, and runs the same command again on each.
//
// What survives a cut (the model, in one place):
// - metadata operations (create or truncate, rename, delete, directory create
//   and remove) reach the disk in the order they were made, per volume, and a
//   cut keeps a prefix of them; volumes have no order between them;
// - a rename with MOVEFILE_WRITE_THROUGH is on disk when it returns, and so is
//   every metadata operation before it on its volume;
// - bytes written to a file are on disk once FlushFileBuffers on it has
//   returned; bytes written since may read back as lost, as zeros at the
//   written length, or as a written prefix followed by zeros;
// - a kill keeps everything that was issued.
namespace orvanta::reliability {
namespace {

using e2e::Join;

enum class Kind { kCreate, kWrite, kFlush, kRename, kDelete, kMakeDir, kRemoveDir };
constexpr const char* kKindNames[] = {"create", "write", "flush", "rename",
                                      "delete", "mkdir", "rmdir"};

struct Op {
  Kind kind;
  std::wstring path;              // as the program gave it, without the \\?\ prefix
  std::wstring to;                // a rename's destination
  unsigned long long number = 0;  // a rename's flags, a write's byte count
  int file = -1;                  // the file a create makes or a write or flush writes to
};

bool IsMetadata(const Op& op) { return op.kind != Kind::kWrite && op.kind != Kind::kFlush; }
bool IsWriteThrough(const Op& op) {
  return op.kind == Kind::kRename && (op.number & MOVEFILE_WRITE_THROUGH) != 0;
}

// ---------------------------------------------------------------------------
// The recorder: Wine's relay trace of the program's file calls.

constexpr wchar_t kRelayKey[] = L"Software\\Wine\\Debug";
constexpr wchar_t kRelayed[] =
    L"CreateFileW;WriteFile;FlushFileBuffers;CloseHandle;MoveFileExW;DeleteFileW;"
    L"CreateDirectoryW;RemoveDirectoryW";

// A relay argument as text: "140004000 L\"C:\\\\x\"" gives C:\x, "00000030" stays.
std::wstring Argument(const std::string& text) {
  const std::size_t open = text.find("L\"");
  if (open == std::string::npos) return std::wstring(text.begin(), text.end());
  std::wstring value;
  for (std::size_t i = open + 2; i < text.size() && text[i] != '"'; ++i) {
    if (text[i] != '\\') {
      value += static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    } else if (text[++i] == '\\' || text[i] == '"') {
      value += static_cast<wchar_t>(text[i]);
    } else {  // a character outside ASCII, as four hexadecimal digits
      value += static_cast<wchar_t>(std::stoul(text.substr(i, 4), nullptr, 16));
      i += 3;
    }
  }
  return value.rfind(L"\\\\?\\", 0) == 0 ? value.substr(4) : value;
}

std::vector<std::wstring> SplitArguments(const std::string& list) {
  std::vector<std::wstring> arguments;
  std::string current;
  bool quoted = false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == '\\' && quoted)
      current += list[i++];
    else if (list[i] == '"')
      quoted = !quoted;
    if (list[i] == ',' && !quoted) {
      arguments.push_back(Argument(current));
      current.clear();
    } else if (i < list.size()) {
      current += list[i];
    }
  }
  arguments.push_back(Argument(current));
  return arguments;
}

// Turns each call that succeeded into an operation; handles name the files
// that writes and flushes go to.
//
// Wine 8 and Wine 10 write the same lines: "tid:Call DLL.Function(a,b,...)
// ret=..." and "tid:Ret  DLL.Function() retval=... ret=...", each argument
// as its whole 64-bit slot. A DWORD argument owns only the low half of its
// slot: GCC 12 and 14 alike store one with a 32-bit move and leave the high
// half as the stack held it, which was zero under Wine 8 for the calls that
// matter and is not under Wine 10. So DWORDs are read from the low half
// alone. A line of a recorded function that does not read as above is kept in
// `unreadable`: the recording then proves nothing.
class TraceReader {
 public:
  std::vector<Op> ops;
  std::vector<std::string> unreadable;
  // Folders made with a descriptor of their own, not with what their parent
  // grants as every folder in the profile is.
  std::vector<std::wstring> described;
  std::size_t calls = 0;

  void Line(const std::string& line) {
    const std::size_t colon = line.find(':');
    const std::size_t dot = line.find('.', colon), open = line.find('(', colon);
    if (colon == std::string::npos || dot == std::string::npos || open == std::string::npos ||
        dot > open || kArguments.count(line.substr(dot + 1, open - dot - 1)) == 0) {
      // Not a line of a recorded function, unless the name is there in another form.
      for (const auto& [name, count] : kArguments)
        if (line.find("." + name + "(") != std::string::npos) return Unreadable(line);
      return;
    }
    const std::string thread = line.substr(0, colon);
    const std::string function = line.substr(dot + 1, open - dot - 1);
    if (line.compare(colon, 6, ":Call ") == 0) {
      const std::size_t close = line.rfind(") ret=");
      if (close == std::string::npos || close < open) return Unreadable(line);
      Call c{function, SplitArguments(line.substr(open + 1, close - open - 1))};
      if (c.arguments.size() != kArguments.at(function)) return Unreadable(line);
      pending_[thread] = c;
      ++calls;
    } else if (line.compare(colon, 6, ":Ret  ") == 0) {
      const std::size_t value = line.find(" retval=");
      const auto call = pending_.find(thread);
      if (value == std::string::npos || call == pending_.end() || call->second.function != function)
        return Unreadable(line);
      Returned(call->second, Hex(line.substr(value + 8)));
      pending_.erase(call);
    } else {
      Unreadable(line);
    }
  }

 private:
  struct Call {
    std::string function;
    std::vector<std::wstring> arguments;
  };
  // The recorded functions and how many arguments each takes.
  inline static const std::map<std::string, std::size_t> kArguments = {
      {"CreateFileW", 7}, {"WriteFile", 5},   {"FlushFileBuffers", 1}, {"CloseHandle", 1},
      {"MoveFileExW", 3}, {"DeleteFileW", 1}, {"CreateDirectoryW", 2}, {"RemoveDirectoryW", 1}};

  void Unreadable(const std::string& line) { unreadable.push_back(line); }
  static unsigned long long Hex(const std::string& text) { return std::stoull(text, nullptr, 16); }
  static unsigned long long Hex(const std::wstring& text) { return std::stoull(text, nullptr, 16); }
  static DWORD Dword(const std::wstring& text) { return static_cast<DWORD>(Hex(text)); }

  void Returned(const Call& call, unsigned long long result) {
    const auto& a = call.arguments;
    const std::string& f = call.function;
    if (f == "CloseHandle") handles_.erase(Hex(a[0]));
    if (f == "CreateFileW" ? result == ~0ull : (result & 0xFFFFFFFF) == 0) return;
    const auto file = [&] { return handles_.count(Hex(a[0])) ? handles_[Hex(a[0])] : -1; };
    if (f == "CreateFileW" && Dword(a[4]) != OPEN_EXISTING) {  // creates or truncates
      handles_[result] = files_;
      ops.push_back({Kind::kCreate, a[0], {}, Dword(a[4]), files_++});
    } else if (f == "WriteFile" && file() >= 0) {
      ops.push_back({Kind::kWrite, {}, {}, Dword(a[2]), file()});
    } else if (f == "FlushFileBuffers" && file() >= 0) {
      ops.push_back({Kind::kFlush, {}, {}, 0, file()});
    } else if (f == "MoveFileExW") {
      ops.push_back({Kind::kRename, a[0], a[1], Dword(a[2])});
    } else if (f == "DeleteFileW" || f == "CreateDirectoryW" || f == "RemoveDirectoryW") {
      const Kind kind = f[0] == 'D'   ? Kind::kDelete
                        : f[0] == 'C' ? Kind::kMakeDir
                                      : Kind::kRemoveDir;
      if (kind == Kind::kMakeDir && Hex(a[1]) != 0) described.push_back(a[0]);
      ops.push_back({kind, a[0], {}, 0, -1});
    }
  }

  std::map<std::string, Call> pending_;
  std::map<unsigned long long, int> handles_;
  int files_ = 0;
};

// The relay lines of the functions named (separated by ';') that the
// programs the action starts write. Wine writes them to the standard error
// that the test shares with its children, which the test's command line
// names as a file.
template <class Action>
std::string RelayTrace(const std::wstring& functions, Action action) {
  const std::wstring& traceFile = TestInputs().relayTrace;
  const std::size_t offset = e2e::ReadBytes(traceFile).value_or("").size();
  EXPECT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, kRelayKey, L"RelayInclude", REG_SZ, functions.c_str(),
                      static_cast<DWORD>((functions.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
  SetEnvironmentVariableW(L"WINEDEBUG", L"-all,+relay");
  action();
  SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRelayKey, L"RelayInclude");
  return e2e::ReadBytes(traceFile).value_or("").substr(offset);
}

// Runs the command once with the relay trace of the file calls on.
std::vector<Op> Record(const Scenario& scenario) {
  const std::string text = RelayTrace(kRelayed, [&] {
    Process run(scenario.program, scenario.arguments);
    EXPECT_EQ(run.Wait(), std::optional<DWORD>(0)) << scenario.name << ": the recorded run failed";
  });
  TraceReader reader;
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    reader.Line(text.substr(at, end - at));
  }
  EXPECT_TRUE(reader.unreadable.empty())
      << scenario.name << ": " << reader.unreadable.size()
      << " relay lines in a form this recorder does not know, the first: "
      << reader.unreadable.front();
  EXPECT_GT(reader.calls, 0u) << scenario.name << ": no recorded call in the relay trace "
                              << Narrow(TestInputs().relayTrace);
  // Every recorded run installs into the profile.
  for (const std::wstring& folder : reader.described) {
    ADD_FAILURE() << scenario.name << ": made in the profile with a descriptor: " << Narrow(folder);
  }
  return reader.ops;
}

// ---------------------------------------------------------------------------
// The model: the disk as a cut leaves it.

struct Entry {
  std::wstring path;  // with the case it was made with
  int file = -1;      // -1 for a directory
};
using Disk = std::map<std::wstring, Entry>;  // by lower-case path

struct Bytes {
  std::string all;          // what the file holds at the end of the run
  std::size_t flushed = 0;  // how much of it was on disk at the cut
  std::size_t written = 0;  // how much of it was written by the cut
};

enum class Data { kKept, kLost, kZeros, kPrefix };
constexpr const char* kDataNames[] = {"", ", data lost", ", data zeroed", ", data half zeroed"};

void Apply(Disk& disk, const Op& op) {
  switch (op.kind) {
    case Kind::kCreate:
      disk[Lower(op.path)] = {op.path, op.file};
      break;
    case Kind::kRename: {
      const auto from = disk.find(Lower(op.path));
      if (from == disk.end()) break;
      const int file = from->second.file;
      disk.erase(from);
      disk[Lower(op.to)] = {op.to, file};
      break;
    }
    case Kind::kMakeDir:
      disk[Lower(op.path)] = {op.path, -1};
      break;
    case Kind::kDelete:
    case Kind::kRemoveDir:
      disk.erase(Lower(op.path));
      break;
    default:
      break;
  }
}

// The state after the first `cut` operations, with `kept[v]` of the metadata
// operations on volume v on disk, each file's unflushed bytes as `data` says.
// Files that were there before the run are files -2, -3, ...
std::map<std::wstring, std::optional<std::string>> StateAt(const Disk& start,
                                                           const std::vector<Op>& ops,
                                                           std::size_t cut,
                                                           std::map<wchar_t, std::size_t> kept,
                                                           std::map<int, Bytes> bytes, Data data) {
  Disk disk = start;
  for (std::size_t i = 0; i < cut; ++i) {
    const Op& op = ops[i];
    if (op.kind == Kind::kWrite) bytes[op.file].written += op.number;
    if (op.kind == Kind::kFlush) bytes[op.file].flushed = bytes[op.file].written;
    if (!IsMetadata(op)) continue;
    std::size_t& left = kept[Lower(op.path)[0]];
    if (left == 0) continue;  // lost, and so is every later one on the volume
    --left;
    Apply(disk, op);
  }
  std::map<std::wstring, std::optional<std::string>> state;
  for (const auto& [key, entry] : disk) {
    if (entry.file == -1) {
      state[entry.path] = std::nullopt;
      continue;
    }
    const Bytes& b = bytes[entry.file];
    const std::size_t written = data == Data::kKept ? b.written : b.flushed;
    std::string content = b.all.substr(0, written);
    if (data == Data::kZeros || data == Data::kPrefix) {
      const std::size_t half = data == Data::kPrefix ? (b.written - b.flushed) / 2 : 0;
      content = b.all.substr(0, b.flushed + half) + std::string(b.written - b.flushed - half, '\0');
    }
    state[entry.path] = content;
  }
  return state;
}

// Every (cut, metadata kept per volume, data) the model allows.
struct Cut {
  std::size_t after = 0;
  std::map<wchar_t, std::size_t> kept;
  Data data = Data::kKept;
};

std::vector<Cut> Cuts(const std::vector<Op>& ops) {
  std::vector<Cut> cuts;
  for (std::size_t after = 0; after <= ops.size(); ++after) {
    std::map<wchar_t, std::size_t> issued, durable;
    std::map<int, bool> unflushed;
    for (std::size_t i = 0; i < after; ++i) {
      const Op& op = ops[i];
      if (op.kind == Kind::kWrite || op.kind == Kind::kFlush)
        unflushed[op.file] = op.kind == Kind::kWrite;
      if (!IsMetadata(op)) continue;
      const wchar_t volume = Lower(op.path)[0];
      ++issued[volume];
      if (IsWriteThrough(op)) durable[volume] = issued[volume];
    }
    cuts.push_back({after, issued, Data::kKept});  // a kill
    const bool lost =
        std::any_of(unflushed.begin(), unflushed.end(), [](auto& f) { return f.second; });
    // Every prefix of each volume's metadata from its last write-through on.
    for (const auto& [volume, count] : issued) durable.emplace(volume, 0);
    for (std::map<wchar_t, std::size_t> kept = durable;;) {
      for (Data data : {Data::kLost, Data::kZeros, Data::kPrefix}) {
        if (lost || data == Data::kLost) cuts.push_back({after, kept, data});
      }
      auto volume = kept.begin();
      while (volume != kept.end() && volume->second == issued[volume->first]) {
        volume->second = durable[volume->first];
        ++volume;
      }
      if (volume == kept.end()) break;
      ++volume->second;
    }
  }
  return cuts;
}

// ---------------------------------------------------------------------------
// The checks.

bool Below(const std::wstring& path, const std::wstring& folder) {
  const std::wstring p = Lower(path), f = Lower(folder);
  return p == f || p.rfind(f + L"\\", 0) == 0;
}

void ReadTree(const std::wstring& folder, Disk& disk, std::map<int, Bytes>& bytes, int& next) {
  for (const auto& name : e2e::ListNames(folder)) {
    const std::wstring path = Join(folder, name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      disk[Lower(path)] = {path, -1};
      ReadTree(path, disk, bytes, next);
      continue;
    }
    const std::string content = e2e::ReadBytes(path).value_or("");
    bytes[next] = {content, content.size(), content.size()};
    disk[Lower(path)] = {path, next--};
  }
}

void Materialize(const Profile& profile,
                 const std::map<std::wstring, std::optional<std::string>>& state) {
  ResetProfile(profile);
  for (const auto& [path, content] : state) {  // a folder sorts before what it holds
    if (!Below(path, ProgramsRoot(profile)) && !Below(path, profile.programs())) continue;
    if (content) {
      e2e::WriteBytes(path, *content);
    } else {
      CreateDirectoryW(path.c_str(), nullptr);
    }
  }
}

std::wstring Shown(const Profile& profile, const std::wstring& path) {
  return Below(path, profile.root()) ? path.substr(std::min(path.size(), profile.root().size() + 1))
                                     : path;
}

std::string Describe(const Profile& profile, const Op& op) {
  std::string text = kKindNames[static_cast<int>(op.kind)];
  if (op.kind == Kind::kWrite)
    return text + " of " + std::to_string(op.number) + " bytes to file " + std::to_string(op.file);
  if (op.kind == Kind::kFlush) return text + " of file " + std::to_string(op.file);
  text += " " + Narrow(Shown(profile, op.path));
  if (op.kind == Kind::kCreate) text += " (file " + std::to_string(op.file) + ")";
  if (op.kind == Kind::kRename)
    text += " -> " + Narrow(Shown(profile, op.to)) + " (flags " + std::to_string(op.number) + ")";
  return text;
}

// Fails where what the run left is not what the recorded operations made: a
// writer the recorder missed. Gives each written file its bytes from the end
// state.
void MatchEndState(const Scenario& scenario, const Profile& profile, const Disk& start,
                   const std::vector<Op>& ops, std::map<int, Bytes>& bytes) {
  Disk end = start;
  for (const Op& op : ops) {
    if (IsMetadata(op)) Apply(end, op);
    if (op.kind == Kind::kWrite) bytes[op.file].all.resize(bytes[op.file].all.size() + op.number);
  }
  Disk actual;
  std::map<int, Bytes> unused;
  int ignored = -2;
  ReadTree(profile.root(), actual, unused, ignored);
  for (const auto& [key, entry] : actual) {
    const auto made = end.find(key);
    EXPECT_TRUE(made != end.end())
        << scenario.name << ": " << Narrow(entry.path) << " was made by no recorded operation";
    if (made == end.end() || entry.file == -1) continue;
    const std::string content = e2e::ReadBytes(entry.path).value_or("");
    Bytes& recorded = bytes[made->second.file];
    const bool written = made->second.file >= 0;
    EXPECT_TRUE(written ? content.size() == recorded.all.size() : content == recorded.all)
        << scenario.name << ": " << Narrow(entry.path)
        << " holds bytes that no recorded write put there";
    if (written) recorded.all = content;
  }
  for (const auto& [key, entry] : end) {
    EXPECT_TRUE(actual.count(key))
        << scenario.name << ": " << Narrow(entry.path) << " was recorded but is not there";
  }
}

// One line that says where the run was cut and what the model kept.
std::string CutContext(const Scenario& scenario, const Profile& profile, const std::vector<Op>& ops,
                       const Cut& cut) {
  std::size_t kept = 0;
  for (const auto& [volume, count] : cut.kept) kept += count;
  return std::string(scenario.name) + ": cut after " + std::to_string(cut.after) + "/" +
         std::to_string(ops.size()) +
         (cut.after > 0 ? " (" + Describe(profile, ops[cut.after - 1]) + ")" : "") + ", " +
         std::to_string(kept) + " metadata operations kept" +
         kDataNames[static_cast<int>(cut.data)];
}

void Explore(const Scenario& scenario, std::size_t expectedOps) {
  if (TestInputs().relayTrace.empty()) {
    ASSERT_FALSE(e2e::UnderWine()) << "no --relay-trace to record the file calls with";
    GTEST_SKIP() << "the file calls are recorded with Wine's relay trace, which Windows lacks";
  }
  Profile profile;
  scenario.prepare(profile);
  const Snapshot before = Take(profile);
  Disk start;
  std::map<int, Bytes> bytes;
  int next = -2;
  ReadTree(profile.root(), start, bytes, next);
  const std::vector<Op> ops = Record(scenario);
  if (testing::Test::HasFailure()) return;  // a recording that cannot be read proves nothing
  MatchEndState(scenario, profile, start, ops, bytes);

  std::printf("%s: %zu operations recorded (at least %zu expected):\n", scenario.name, ops.size(),
              expectedOps);
  for (std::size_t i = 0; i < ops.size(); ++i)
    std::printf("  %2zu %s\n", i + 1, Describe(profile, ops[i]).c_str());
  EXPECT_GE(ops.size(), expectedOps) << scenario.name << ": the recorder missed operations";

  const std::vector<Cut> cuts = Cuts(ops);
  std::set<std::string> checked;
  for (const Cut& cut : cuts) {
    const auto state = StateAt(start, ops, cut.after, cut.kept, bytes, cut.data);
    // A state after the whole run is checked for completeness besides.
    const bool finished = cut.after == ops.size();
    std::string key = finished ? "finished;" : "";
    for (const auto& [path, content] : state)
      key += Narrow(Lower(path)) + "=" + (content ? e2e::Fingerprint(*content) : "<dir>") + ";";
    if (!checked.insert(key).second) continue;
    Checks checks(CutContext(scenario, profile, ops, cut));
    Materialize(profile, state);
    const Snapshot interrupted = Take(profile);
    CheckInvariants(checks, scenario, before, interrupted);
    if (finished && !scenario.removal) {
      checks.Expect(InstallComplete(scenario, profile, interrupted),
                    "a cut lost part of a completed install");
    }
    RunAgain(checks, scenario, profile, before, interrupted);
  }
  std::printf("%s: %zu states built from %zu cut points, %zu of them distinct, each run again\n",
              scenario.name, cuts.size(), ops.size() + 1, checked.size());
}

// ---------------------------------------------------------------------------

Payload SmallPayload() { return LoadPayload(e2e::TestInputs().payloadDir); }

// An earlier version's files, its legacy shortcut and a file of the user's own.
void PrepareEarlierVersion(const Profile& profile) {
  const std::wstring target = profile.defaultTarget();
  e2e::MakeDirectories(target);
  const Payload payload = SmallPayload();
  e2e::WriteBytes(Join(target, e2e::kExecutable), *payload.exe + "earlier");
  e2e::WriteBytes(Join(target, e2e::kReadme), *payload.readme + "earlier");
  e2e::WriteBytes(Join(target, e2e::kMarker), e2e::kMarkerBytes);
  e2e::WriteBytes(Join(target, L"notes.txt"), "the user's own notes\r\n");
  e2e::WriteLink(profile.legacyShortcut(), Join(target, e2e::kExecutable));
}

// The operations that the sequence makes at the least: the install makes two
// folders and writes four files (read-me, executable, marker, link), each
// created, written, flushed and renamed; the update also retires the legacy
// link; the removal deletes three files and the link, then the folder.
constexpr std::size_t kInstallOps = 18, kUpdateOps = 17, kRemoveOps = 5;

// Relay lines as Wine 8 and Wine 10 write them, with the high halves of DWORD
// slots as each left them, and a line in a form the recorder does not know.
TEST(PowerCutTest, RelayLinesOfWine8AndWine10ReadAlike) {
  const std::string open =
      R"(0448:Call KERNEL32.CreateFileW(7ffffe8a3b70 L"\\\\?\\C:\\x\\Orvanta-Native.install",)"
      "80000000,00000003,00000000,";
  const std::string staged = R"(0448:Call KERNEL32.CreateFileW(00b97d40 L"C:\\x\\README.md.new",)"
                             "40000000,00000000,00000000,";
  const std::string opened = "0448:Ret  KERNEL32.CreateFileW() retval=00000078 ret=140004736";
  const struct {
    const char* wine;
    std::vector<std::string> lines;
    std::vector<std::pair<Kind, unsigned long long>> ops;
    std::size_t unreadable;
  } rows[] = {
      {"8, an open for reading",
       {open + "00000003,00000080,00000000) ret=140004736", opened},
       {},
       0},
      {"10, an open for reading",
       {open + "7fff00000003,7fff00000080,00000000) ret=140004736", opened},
       {},
       0},
      {"8 and 10, a create and a write",
       {staged + "100000002,100000080,00000000) ret=1400089da", opened,
        "0448:Call KERNEL32.WriteFile(00000078,00b98000,7fff0000059a,7ffffe8a3e5c,00000000) "
        "ret=140008a4f",
        "0448:Ret  KERNEL32.WriteFile() retval=00000001 ret=140008a4f"},
       {{Kind::kCreate, CREATE_ALWAYS}, {Kind::kWrite, 0x59a}},
       0},
      {"unknown, with the process id before the thread",
       {"0040:0448:Call KERNEL32.CreateFileW(00b97d40 L\"C:\\\\x\",40000000,0,0,2,80,0) ret=1"},
       {},
       1},
  };
  for (const auto& row : rows) {
    TraceReader reader;
    for (const std::string& line : row.lines) reader.Line(line);
    std::vector<std::pair<Kind, unsigned long long>> ops;
    for (const Op& op : reader.ops) ops.emplace_back(op.kind, op.number);
    EXPECT_EQ(ops, row.ops) << "Wine " << row.wine;
    EXPECT_EQ(reader.unreadable.size(), row.unreadable) << "Wine " << row.wine;
  }
}

// COM is released after the last dialog has closed, on a failure too: here
// the refusal of a removal from a folder that holds no install.
TEST(PowerCutTest, ComIsReleasedAfterTheFailureDialog) {
  if (TestInputs().relayTrace.empty()) {
    ASSERT_FALSE(e2e::UnderWine()) << "no --relay-trace to trace the calls with";
    GTEST_SKIP() << "the calls are traced with Wine's relay trace, which Windows lacks";
  }
  const Profile profile;
  e2e::Outcome run;
  // Wine names the DLL (user32, combase or ole32) in either case. A call's
  // line ends in "ret=", its return's in "retval= ... ret=".
  const std::string trace = Lower(RelayTrace(L"MessageBoxW;CoUninitialize", [&] {
    run = e2e::RunConfirmed(e2e::TestInputs().setupProgram, {L"--remove"});
  }));
  EXPECT_EQ(run.failure, L"Directory was not installed by Orvanta");
  const std::size_t closed = trace.rfind(".messageboxw() retval=");
  const std::size_t released = trace.rfind(".couninitialize() ret=");
  ASSERT_NE(closed, std::string::npos) << "no dialog in the relay trace";
  ASSERT_NE(released, std::string::npos) << "COM never released";
  EXPECT_GT(released, closed) << "COM released before the failure dialog closed";
}

TEST(PowerCutTest, EveryCutOfAnInstallIsFinishedByTheNextInstall) {
  Explore({"install",
           e2e::TestInputs().setupProgram,
           {L"--quiet"},
           [](const Profile&) {},
           SmallPayload()},
          kInstallOps);
}

TEST(PowerCutTest, EveryCutOfAnUpdateIsFinishedByTheNextInstall) {
  Explore({"update",
           e2e::TestInputs().setupProgram,
           {L"--quiet"},
           PrepareEarlierVersion,
           SmallPayload()},
          kUpdateOps);
}

TEST(PowerCutTest, EveryCutOfARemovalIsFinishedByTheNextRemoval) {
  Explore({"removal",
           e2e::TestInputs().setupProgram,
           {L"--quiet", L"--remove"},
           [](const Profile& profile) { PlaceInstall(profile, e2e::TestInputs().payloadDir); },
           Payload{},
           true},
          kRemoveOps);
}

}  // namespace
}  // namespace orvanta::reliability
