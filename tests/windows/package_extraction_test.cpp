// Extraction of real client packages (built from tests/fixtures/packages)
// under Wine: placement, skip names, the temporary cabinet, the failure codes,
// and a corpus of hostile packages that must not write outside the target.
#include <windows.h>
#include <msi.h>
#include <setupapi.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/windows/harness/test_support.h"
#include "windows/install/package_extraction.h"
#include "windows/shared/unique_resource.h"

namespace gantry::testing {
namespace {

const std::vector<std::wstring> kBasicClientSkipNames = {
    L"Brenlo.exe",    L"BrenloDEU.dll", L"BrenloESP.dll", L"BrenloFRA.dll",
    L"BrenloRUS.dll", L"BrenloITA.dll", L"BrenloJPN.dll"};

std::wstring FixtureFolder() { return TestBinDir() + L"\\fixtures\\packages"; }
std::wstring PackagePath(const std::wstring& name) { return FixtureFolder() + L"\\" + name + L".msi"; }
std::string FixtureBytes(const std::wstring& relative) {
  return ReadFileBytes(FixtureFolder() + L"\\" + relative).value_or("<missing fixture>");
}

struct Outcome {
  bool result = false;
  int status = -1;
};

// One extraction with the user's temporary folder moved into a scratch
// folder, so "Calix.cab" lands where the test can see it.
class PackageExtractionTest : public ::testing::Test {
 protected:
  PackageExtractionTest()
      : temp_(scratch_ / L"temp"),
        tmpVariable_(L"TMP", temp_ + L"\\"),
        tempVariable_(L"TEMP", temp_ + L"\\") {
    CreateFolders(temp_);
  }

  std::wstring TargetFor(const std::wstring& name) { return scratch_ / (L"targets\\" + name + L"\\Bin"); }
  std::wstring TemporaryCabinet() const { return temp_ + L"\\Calix.cab"; }

  Outcome Run(const std::wstring& packagePath, const std::wstring& target,
              const std::vector<std::wstring>& skipNames = kBasicClientSkipNames) {
    Outcome outcome;
    {
      PackageExtraction extraction;
      extraction.SetPackagePath(packagePath);
      extraction.skipNames = skipNames;
      outcome.result = Extract(extraction, target.c_str());
      outcome.status = extraction.status;
      EXPECT_EQ(extraction.database.get(), 0u) << "database left open after the run";
    }
    // Installer handles count per thread: this is the thread that did the work.
    EXPECT_EQ(MsiCloseAllHandles(), 0u) << "installer handles left open by " << Utf8(packagePath);
    return outcome;
  }

  ScratchFolder scratch_{L"packages"};
  std::wstring temp_;
  ScopedEnvironment tmpVariable_;
  ScopedEnvironment tempVariable_;
};

std::map<std::wstring, std::string> NormalPackageTree();

TEST_F(PackageExtractionTest, NormalPackageLandsAsItsTablesSay) {
  const std::wstring target = TargetFor(L"normal");
  ASSERT_FALSE(PathExists(target));
  const Outcome outcome = Run(PackagePath(L"normal"), target);
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ(outcome.status, 0);

  EXPECT_EQ(SnapshotTree(target), NormalPackageTree());

  // The saved cabinet stays behind, byte for byte the package's stream.
  EXPECT_EQ(ReadFileBytes(TemporaryCabinet()), FixtureBytes(L"normal.cab"));
}

// Folders are the Directory keys (not DefaultDir), names the text after the
// bar; a folder outside INSTALLDIR hangs below the target by its keys; the
// Brenlo members (skip names in other letter case) and their folder are absent.
std::map<std::wstring, std::string> NormalPackageTree() {
  return {
      {L"Varnel.exe", FixtureBytes(L"payload\\VarnelExe")},
      {L"TavikClientSystem.dll", FixtureBytes(L"payload\\TavikDll")},
      {L"README.TXT", FixtureBytes(L"payload\\ReadMe")},
      {L"Languages", "<dir>"},
      {L"Languages\\KuvDEU.dll", FixtureBytes(L"payload\\LangDeu")},
      {L"Languages\\Help", "<dir>"},
      {L"Languages\\Help\\help.idx", FixtureBytes(L"payload\\HelpIndex")},
      {L"TARGETDIR", "<dir>"},
      {L"TARGETDIR\\MenuDir", "<dir>"},
      {L"TARGETDIR\\MenuDir\\Kuv Client.lnk", FixtureBytes(L"payload\\MenuLink")},
  };
}

TEST_F(PackageExtractionTest, SkipNamesAreComparedWithoutCaseAndOnlyThey) {
  const std::wstring target = TargetFor(L"skip");
  const Outcome outcome = Run(PackagePath(L"normal"), target, {L"varnel.EXE", L"KUV CLIENT.LNK"});
  EXPECT_TRUE(outcome.result);
  EXPECT_FALSE(PathExists(target + L"\\Varnel.exe"));
  EXPECT_FALSE(PathExists(target + L"\\TARGETDIR")) << "a folder was made for a skipped member";
  EXPECT_TRUE(PathExists(target + L"\\Brenlo\\BRENLO.EXE"));
  EXPECT_TRUE(PathExists(target + L"\\Brenlo\\bRENLOfra.DLL"));
}

struct FailureCase {
  const wchar_t* package;
  bool result;
  int status;
  bool cabinetSaved;
};

TEST_F(PackageExtractionTest, ResultAndStatusFollowTheFailureTable) {
  const FailureCase cases[] = {
      {L"normal", true, kExtractionSucceeded, true},
      {L"stream-2048", true, kExtractionSucceeded, true},
      {L"directory-key-no-row", true, kExtractionSucceeded, true},
      {L"orphan-member", false, kMemberWithoutFileRow, true},
      {L"no-stream", false, kNoCabinetStream, false},
      {L"lower-case-stream", false, kNoCabinetStream, false},  // stream names match case
      {L"not-a-database", false, kPackageNotOpened, false},
      {L"truncated", false, kPackageNotOpened, false},
      {L"does-not-exist", false, kPackageNotOpened, false},
      {L"long-names", false, kMemberNotConfined, true},
      // Saved, but never handed to the cabinet reader (Wine's faults on it).
      {L"no-folder-cabinet", false, kCabinetNotReadable, true},
  };
  for (const FailureCase& row : cases) {
    SCOPED_TRACE(Utf8(row.package));
    DeleteTree(TemporaryCabinet());
    const Outcome outcome = Run(PackagePath(row.package), TargetFor(row.package));
    EXPECT_EQ(outcome.result, row.result);
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(PathExists(TemporaryCabinet()), row.cabinetSaved);
  }
  // What the members of the odd packages became.
  // A member without a File row keeps its cabinet name, in the target folder.
  EXPECT_EQ(ReadFileBytes(TargetFor(L"orphan-member") + L"\\Orphan.txt"),
            std::string("a member the File table does not know\r\n"));
  EXPECT_TRUE(PathExists(TargetFor(L"orphan-member") + L"\\Varnel.exe"));
  EXPECT_EQ(SnapshotTree(TargetFor(L"directory-key-no-row")),
            (std::map<std::wstring, std::string>{{L"ghost.txt", "GhostFile payload"},
                                                 {L"child.txt", "ChildFile payload"}}));
  EXPECT_EQ(SnapshotTree(TargetFor(L"long-names")),
            (std::map<std::wstring, std::string>{{L"fine.txt", "Fine payload"}}));
  EXPECT_FALSE(PathExists(TargetFor(L"no-stream")));
}

TEST_F(PackageExtractionTest, StreamIsCopiedWholeAcrossChunkBoundaries) {
  const struct {
    const wchar_t* package;
    std::size_t bytes;
  } cases[] = {{L"stream-131072", 131072}, {L"stream-70000", 70000}, {L"stream-2048", 2048}, {L"stream-1500", 1500}};
  for (const auto& [package, bytes] : cases) {
    SCOPED_TRACE(Utf8(package));
    const std::string stream = FixtureBytes(std::wstring(package) + L".cab");
    ASSERT_EQ(stream.size(), bytes);
    const Outcome outcome = Run(PackagePath(package), TargetFor(package));
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(ReadFileBytes(TemporaryCabinet()), stream);
    // The cabinet was whole: its one member came out.
    EXPECT_TRUE(PathExists(TargetFor(package) + L"\\chunk.bin"));
  }
}

// Java threads (or two launchers) may install at the same moment. Every run
// saves its cabinet to the same "Calix.cab" in the temporary folder, so runs
// of two different packages side by side must not walk each other's cabinet.
struct SideBySideRun {
  std::wstring package;
  std::wstring target;
  std::map<std::wstring, std::string> expected;
  int runs = 0;
  int succeeded = 0;
  int placedExactly = 0;
  unsigned handlesLeftOpen = 0;
  std::vector<int> failureStatuses;
};

DWORD WINAPI RunSideBySide(void* context) {
  auto& run = *static_cast<SideBySideRun*>(context);
  for (int i = 0; i < 6; ++i) {
    DeleteTree(run.target);
    ++run.runs;
    PackageExtraction extraction;
    extraction.SetPackagePath(run.package);
    extraction.skipNames = kBasicClientSkipNames;
    if (Extract(extraction, run.target.c_str())) {
      ++run.succeeded;
    } else {
      run.failureStatuses.push_back(extraction.status);
    }
    if (SnapshotTree(run.target) == run.expected) ++run.placedExactly;
    run.handlesLeftOpen += MsiCloseAllHandles();
  }
  return 0;
}

TEST_F(PackageExtractionTest, RunsSideBySideEachPlaceTheirOwnPackage) {
  const std::wstring packages[] = {PackagePath(L"normal"), PackagePath(L"stream-131072")};
  std::vector<SideBySideRun> runs(4);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].package = packages[i % 2];
    runs[i].target = TargetFor(L"side-by-side-" + std::to_wstring(i));
    // What one run alone places.
    const std::wstring alone = TargetFor(L"alone-" + std::to_wstring(i % 2));
    if (!PathExists(alone)) {
      ASSERT_TRUE(Run(runs[i].package, alone).result);
    }
    runs[i].expected = SnapshotTree(alone);
  }
  std::vector<UniqueHandle> threads;
  for (auto& run : runs) {
    threads.emplace_back(CreateThread(nullptr, 0, RunSideBySide, &run, 0, nullptr));
    ASSERT_TRUE(threads.back());
  }
  for (const auto& thread : threads) ASSERT_EQ(WaitForSingleObject(thread.get(), 120000), WAIT_OBJECT_0);
  for (const auto& run : runs) {
    SCOPED_TRACE(Utf8(run.target));
    EXPECT_EQ(run.succeeded, run.runs) << "failure statuses: " << ::testing::PrintToString(run.failureStatuses);
    EXPECT_EQ(run.placedExactly, run.runs);
    EXPECT_EQ(run.handlesLeftOpen, 0u);
  }
}

TEST_F(PackageExtractionTest, SecondRunTruncatesTheTemporaryCabinet) {
  ASSERT_TRUE(WriteFileBytes(TemporaryCabinet(), std::string(100000, 'z')));
  Run(PackagePath(L"stream-1500"), TargetFor(L"first"));
  EXPECT_EQ(ReadFileBytes(TemporaryCabinet()), FixtureBytes(L"stream-1500.cab"));
}

TEST_F(PackageExtractionTest, StaleCabinetOfAnEarlierRunIsNeverInstalled) {
  const std::string stale = FixtureBytes(L"normal.cab");
  ASSERT_TRUE(WriteFileBytes(TemporaryCabinet(), stale));
  PackageExtraction extraction;
  extraction.SetPackagePath(PackagePath(L"no-stream"));
  std::copy_n(L"Calix.cab", 10, extraction.cabinetName);
  // Saving keeps its contract: true, nothing recorded, nothing written.
  bool saved = true;
  EXPECT_TRUE(extraction.SaveCabinetStream((temp_ + L"\\").c_str(), &saved));
  EXPECT_FALSE(saved);
  EXPECT_EQ(extraction.status, 0);
  EXPECT_EQ(MsiCloseAllHandles(), 0u);

  const std::wstring target = TargetFor(L"stale");
  const Outcome outcome = Run(PackagePath(L"no-stream"), target);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.status, kNoCabinetStream);
  EXPECT_FALSE(PathExists(target));
  EXPECT_EQ(ReadFileBytes(TemporaryCabinet()), stale);
}

TEST_F(PackageExtractionTest, FolderThatCannotBeCreatedSkipsOnlyItsMembers) {
  // A file stands where the shortcut's folder chain needs the folder
  // "TARGETDIR": its member is skipped, the members after it are placed.
  const std::wstring target = TargetFor(L"blocked");
  ASSERT_TRUE(CreateFolders(target));
  ASSERT_TRUE(WriteFileBytes(target + L"\\TARGETDIR", "a file, not a folder"));
  const Outcome outcome = Run(PackagePath(L"normal"), target);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.status, kFolderNotCreated);
  EXPECT_EQ(ReadFileBytes(target + L"\\TARGETDIR"), std::string("a file, not a folder"));
  EXPECT_TRUE(PathExists(target + L"\\README.TXT"));
  EXPECT_TRUE(PathExists(target + L"\\Varnel.exe"));

  // A target folder below a file cannot be made at all.
  const Outcome second = Run(PackagePath(L"stream-1500"), target + L"\\TARGETDIR\\Bin");
  EXPECT_FALSE(second.result);
  EXPECT_EQ(second.status, kFolderNotCreated);
}

TEST_F(PackageExtractionTest, MemberThatCannotBeWrittenEndsThePassAsAFailure) {
  // "Languages" is a file, so "Languages\KuvDEU.dll" cannot be created. Wine's
  // cabinet iterator then stops the whole pass and returns FALSE; the members
  // after it never come out, so the run must not report success.
  const std::wstring target = TargetFor(L"unwritable");
  ASSERT_TRUE(CreateFolders(target));
  ASSERT_TRUE(WriteFileBytes(target + L"\\Languages", "a file, not a folder"));
  const Outcome outcome = Run(PackagePath(L"normal"), target);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.status, kCabinetNotReadable);
  EXPECT_EQ(ReadFileBytes(target + L"\\Languages"), std::string("a file, not a folder"));
}

// On Windows the reader reports a member it could not write (Varnel.exe in
// use by a running client) with SPFILENOTIFY_FILEEXTRACTED and its Win32
// error, and goes on with the next member. Wine's reader stops the walk
// instead (above), so the notification is handed to the callback here.
TEST_F(PackageExtractionTest, NotificationsOtherThanAMemberAreAnsweredWithZero) {
  struct Row {
    const char* name;
    UINT notification;
    UINT error;
    int status;
  };
  const Row rows[] = {
      {"member extracted", SPFILENOTIFY_FILEEXTRACTED, NO_ERROR, kExtractionSucceeded},
      {"member in use", SPFILENOTIFY_FILEEXTRACTED, ERROR_SHARING_VIOLATION, kMemberNotWritten},
      {"member denied", SPFILENOTIFY_FILEEXTRACTED, ERROR_ACCESS_DENIED, kMemberNotWritten},
      {"disk full", SPFILENOTIFY_FILEEXTRACTED, ERROR_DISK_FULL, kMemberNotWritten},
      {"next cabinet", SPFILENOTIFY_NEEDNEWCABINET, ERROR_ACCESS_DENIED, kExtractionSucceeded},
      {"cabinet info", SPFILENOTIFY_CABINETINFO, ERROR_ACCESS_DENIED, kExtractionSucceeded},
      {"zero", 0, ERROR_ACCESS_DENIED, kExtractionSucceeded},
      {"unknown", 0xFFFFFFFFu, ERROR_ACCESS_DENIED, kExtractionSucceeded},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PackageExtraction extraction;
    FILEPATHS_W paths = {};
    paths.Target = L"C:\\B\\Varnel.exe";
    paths.Win32Error = row.error;
    EXPECT_EQ(OnCabinetNotification(&extraction, row.notification, reinterpret_cast<UINT_PTR>(&paths), 0), 0u)
        << "the walk goes on";
    EXPECT_EQ(extraction.status, row.status);
  }
  // A later member that comes out well does not clear the failure.
  PackageExtraction extraction;
  FILEPATHS_W failed = {};
  failed.Win32Error = ERROR_SHARING_VIOLATION;
  FILEPATHS_W fine = {};
  OnCabinetNotification(&extraction, SPFILENOTIFY_FILEEXTRACTED, reinterpret_cast<UINT_PTR>(&failed), 0);
  OnCabinetNotification(&extraction, SPFILENOTIFY_FILEEXTRACTED, reinterpret_cast<UINT_PTR>(&fine), 0);
  EXPECT_EQ(extraction.status, kMemberNotWritten);
}

// Every folder level below the path's root is created, in each root form;
// a path without a root creates nothing.
TEST_F(PackageExtractionTest, FolderChainStartsBelowTheRoot) {
  const std::wstring base = scratch_ / L"chain";
  const struct {
    std::wstring path;
    bool result;
    std::wstring created;  // the deepest folder that must exist afterwards
  } rows[] = {
      {base + L"\\drive\\a\\file.txt", true, base + L"\\drive\\a"},
      {L"\\\\?\\" + base + L"\\verbatim\\a\\file.txt", true, base + L"\\verbatim\\a"},
      {base + L"\\ends\\in\\", true, base + L"\\ends\\in"},
      {L"relative-chain\\a\\file.txt", false, L""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Utf8(row.path));
    EXPECT_EQ(CreateDirectoryChain(row.path.c_str()), row.result);
    if (!row.created.empty()) {
      EXPECT_TRUE(IsDirectory(row.created));
    }
    if (row.path.back() != L'\\') {
      EXPECT_FALSE(PathExists(row.path)) << "the file's own name is never made a folder";
    }
  }
  EXPECT_FALSE(PathExists(L"relative-chain"));
}

// Wine's cabinet reader runs its ANSI iterator: the cabinet's path and every
// member's target reach it in the ANSI code page (1252 here), where these
// letters are "?". The run goes through their short (8.3) forms.
TEST_F(PackageExtractionTest, TargetAndTemporaryFolderOutsideTheAnsiCodePage) {
  const std::wstring profile = scratch_ / L"\u0412\u043b\u0430\u0434\u0438\u043c\u0438\u0440";
  const std::wstring temp = profile + L"\\Temp";
  ASSERT_TRUE(CreateFolders(temp));
  ScopedEnvironment tmpVariable(L"TMP", temp + L"\\");
  ScopedEnvironment tempVariable(L"TEMP", temp + L"\\");
  const std::wstring target = profile + L"\\AppData\\KuvClient\\Bin";
  const Outcome outcome = Run(PackagePath(L"normal"), target);
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ(outcome.status, kExtractionSucceeded);
  EXPECT_EQ(SnapshotTree(target), NormalPackageTree()) << "every member under its long name";
  EXPECT_TRUE(PathExists(temp + L"\\Calix.cab")) << "the cabinet was saved in the user's own temporary folder";
}

bool IsBelow(const std::wstring& path, const std::wstring& folder) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(),
                        static_cast<int>(std::min(path.size(), folder.size() + 1)), (folder + L"\\").c_str(),
                        static_cast<int>(folder.size() + 1)) == CSTR_EQUAL ||
         CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, folder.c_str(), -1) == CSTR_EQUAL;
}

struct HostileCase {
  const wchar_t* package;
  bool result;
  int status;
  std::map<std::wstring, std::string> placed;  // the whole target tree afterwards
};

TEST_F(PackageExtractionTest, HostilePackagesWriteNothingOutsideTheTarget) {
  using Tree = std::map<std::wstring, std::string>;
  const Tree fineOnly = {{L"fine.txt", "Fine payload"}};
  const HostileCase cases[] = {
      {L"traversal-long-name", false, kMemberNotConfined, fineOnly},
      {L"traversal-cabinet-name", false, kMemberNotConfined, fineOnly},
      {L"traversal-directory-key", false, kMemberNotConfined, fineOnly},
      {L"drive-and-colon-names", false, kMemberNotConfined, fineOnly},
      {L"long-names", false, kMemberNotConfined, fineOnly},
      // The quotes are data: "O'Neil" finds its own row, the folder key "Bob's"
      // its own; a key built to match every row matches none.
      {L"quote-injection", false, kMemberWithoutFileRow,
       {{L"Bob's", "<dir>"},
        {L"Bob's\\oneil.txt", "O'Neil payload"},
        {L"plain.txt", "Plain payload"},
        {L"x' OR 'a'='a", "x' OR 'a'='a payload"}}},
      {L"self-parent", true, kExtractionSucceeded,
       {{L"Root", "<dir>"}, {L"Root\\rooted.txt", "RootedFile payload"}}},
      {L"two-key-loop", true, kExtractionSucceeded, {{L"looped.txt", "LoopedFile payload"}}},
      {L"deep-chain", true, kExtractionSucceeded, {{L"deep.txt", "DeepFile payload"}}},
      {L"truncated", false, kPackageNotOpened, {}},
      {L"not-a-database", false, kPackageNotOpened, {}},
      // The iterator opened the member's file before the data ran out.
      {L"corrupt-cabinet", false, kCabinetNotReadable, {{L"chunk.bin", ""}}},
  };
  // A stale cabinet from another package waits in the temporary folder.
  ASSERT_TRUE(WriteFileBytes(TemporaryCabinet(), FixtureBytes(L"normal.cab")));
  const Outcome stale = Run(PackagePath(L"no-stream"), TargetFor(L"no-stream"));
  EXPECT_FALSE(stale.result);
  EXPECT_EQ(stale.status, kNoCabinetStream);
  EXPECT_FALSE(PathExists(TargetFor(L"no-stream")));

  DriveState before;
  WalkDrive(L"C:", before);
  ASSERT_GT(before.size(), 100u);
  std::vector<std::wstring> targets;
  for (const HostileCase& row : cases) {
    SCOPED_TRACE(Utf8(row.package));
    targets.push_back(TargetFor(row.package));
    const Outcome outcome = Run(PackagePath(row.package), targets.back());
    EXPECT_EQ(outcome.result, row.result);
    EXPECT_EQ(outcome.status, row.status);
    EXPECT_EQ(SnapshotTree(targets.back()), row.placed);
  }
  DriveState after;
  WalkDrive(L"C:", after);

  // Only the targets (and the folders leading to them) and the temporary
  // cabinet may have changed.
  auto allowed = [&](const std::wstring& path) {
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, TemporaryCabinet().c_str(), -1) ==
        CSTR_EQUAL) {
      return true;
    }
    for (const std::wstring& target : targets) {
      if (IsBelow(path, target)) return true;
      if (IsBelow(target, path) && after.at(path) == L"<dir>") return true;  // made on the way
    }
    return false;
  };
  for (const auto& [path, state] : after) {
    const auto earlier = before.find(path);
    if (earlier != before.end() && earlier->second == state) continue;
    if (earlier != before.end() && state == L"<dir>") continue;
    EXPECT_TRUE(allowed(path)) << "written outside the target: " << Utf8(path);
  }
  for (const auto& [path, state] : before) {
    EXPECT_TRUE(after.count(path) != 0 || allowed(path)) << "removed: " << Utf8(path);
  }
}

}  // namespace
}  // namespace gantry::testing
