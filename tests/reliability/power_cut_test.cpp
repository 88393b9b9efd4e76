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

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
  return text;
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
class TraceReader {
 public:
  std::vector<Op> ops;

  void Line(const std::string& line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) return;
    const std::string thread = line.substr(0, colon);
    if (line.compare(colon, 6, ":Call ") == 0) {
      const std::size_t dot = line.find('.', colon), open = line.find('(', colon);
      const std::size_t close = line.rfind(") ret=");
      if (dot > open || open == std::string::npos || close == std::string::npos) return;
      pending_[thread] = {line.substr(dot + 1, open - dot - 1),
                          SplitArguments(line.substr(open + 1, close - open - 1))};
    } else if (line.compare(colon, 6, ":Ret  ") == 0 && pending_.count(thread) > 0) {
      const std::size_t value = line.find("retval=");
      if (value != std::string::npos) Returned(pending_[thread], Hex(line.substr(value + 7)));
      pending_.erase(thread);
    }
  }

 private:
  struct Call {
    std::string function;
    std::vector<std::wstring> arguments;
  };
  static unsigned long long Hex(const std::string& text) { return std::stoull(text, nullptr, 16); }
  static unsigned long long Hex(const std::wstring& text) { return std::stoull(text, nullptr, 16); }

  void Returned(const Call& call, unsigned long long result) {
    const auto& a = call.arguments;
    const std::string& f = call.function;
    if (f == "CloseHandle") handles_.erase(Hex(a[0]));
    if (f == "CreateFileW" ? result == ~0ull : (result & 0xFFFFFFFF) == 0) return;
    const auto file = [&] { return handles_.count(Hex(a[0])) ? handles_[Hex(a[0])] : -1; };
    if (f == "CreateFileW" && Hex(a[4]) != OPEN_EXISTING) {  // creates or truncates
      handles_[result] = files_;
      ops.push_back({Kind::kCreate, a[0], {}, Hex(a[4]), files_++});
    } else if (f == "WriteFile" && file() >= 0) {
      ops.push_back({Kind::kWrite, {}, {}, Hex(a[2]), file()});
    } else if (f == "FlushFileBuffers" && file() >= 0) {
      ops.push_back({Kind::kFlush, {}, {}, 0, file()});
    } else if (f == "MoveFileExW") {
      ops.push_back({Kind::kRename, a[0], a[1], Hex(a[2])});
    } else if (f == "DeleteFileW" || f == "CreateDirectoryW" || f == "RemoveDirectoryW") {
      const Kind kind = f[0] == 'D'   ? Kind::kDelete
                        : f[0] == 'C' ? Kind::kMakeDir
                                      : Kind::kRemoveDir;
      ops.push_back({kind, a[0], {}, 0, -1});
    }
  }

  std::map<std::string, Call> pending_;
  std::map<unsigned long long, int> handles_;
  int files_ = 0;
};

// Runs the command once with the relay trace of the file calls on. Wine
// writes it to the standard error that the test shares with its children,
// which the test's command line names as a file.
std::vector<Op> Record(const Scenario& scenario) {
  const std::wstring& traceFile = TestInputs().relayTrace;
  const std::size_t offset = e2e::ReadBytes(traceFile).value_or("").size();
  EXPECT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kRelayKey, L"RelayInclude", REG_SZ, kRelayed,
                            sizeof(kRelayed)),
            ERROR_SUCCESS);
  SetEnvironmentVariableW(L"WINEDEBUG", L"-all,+relay");
  {
    Process run(scenario.program, scenario.arguments);
    EXPECT_EQ(run.Wait(), std::optional<DWORD>(0)) << scenario.name << ": the recorded run failed";
  }
  SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kRelayKey, L"RelayInclude");
  TraceReader reader;
  const std::string text = e2e::ReadBytes(traceFile).value_or("");
  for (std::size_t at = offset, end; at < text.size(); at = end + 1) {
    end = std::min(text.find('\n', at), text.size());
    reader.Line(text.substr(at, end - at));
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
