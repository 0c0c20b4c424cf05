// Extension restoration under Wine: registry fixtures of the records the
// client program leaves, restored through the export, and the whole of the
// records, the class keys and the Explorer keys compared afterwards.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/windows/harness/test_support.h"
#include "windows/extensions/extension_restoration.h"

namespace gantry::testing {
namespace {

const std::wstring kRecords = L"Software\\Kuv\\FileExts";
const std::wstring kClasses = L"Software\\Classes";
const std::wstring kExplorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const std::vector<std::wstring> kExts = {L".gta", L".gtb", L".gtc", L".gtd"};

struct Entry {
  std::wstring key;
  std::optional<std::wstring> name;  // nothing: the key alone; L"": the default value
  DWORD type = REG_NONE;
  std::string bytes;
};

std::string Utf16Bytes(const std::wstring& text, bool terminated = true) {
  std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * 2);
  if (terminated) bytes.append(2, '\0');
  return bytes;
}
Entry Key(const std::wstring& key) { return {key, std::nullopt, REG_NONE, {}}; }
Entry Sz(const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  return {key, name, REG_SZ, Utf16Bytes(text)};
}
Entry Raw(const std::wstring& key, const std::wstring& name, DWORD type, std::string bytes) {
  return {key, name, type, std::move(bytes)};
}
Entry Dword(const std::wstring& key, const std::wstring& name, DWORD value) {
  return {key, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4)};
}

using Entries = std::vector<Entry>;
Entries operator+(Entries a, const Entries& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::wstring Record(const std::wstring& ext) { return kRecords + L"\\" + ext; }
std::wstring Class(const std::wstring& ext) { return kClasses + L"\\" + ext; }
std::wstring Shortcut(const std::wstring& ext) { return kClasses + L"\\TAVIKShortCut" + ext; }
std::wstring Explorer(const std::wstring& ext) { return kExplorer + L"\\" + ext; }

// The client program's takeover of ext: its record (with `farm` values), its
// class key, and the extension's keys pointing at it.
Entries Taken(const std::wstring& ext, const Entries& farm = {}) {
  Entries entries = {
      Sz(Record(ext), L"TavikBackupShortCut", L"file" + ext),
      Sz(Record(ext), L"TavikBackupProgid", L"progid" + ext),
      Sz(Record(ext), L"TavikBackupApplication", L"app" + ext + L".exe"),
      Sz(Shortcut(ext) + L"\\shell\\open\\command", L"", L"Varnel.exe %1"),
      Sz(Class(ext), L"", L"TAVIKShortCut" + ext),
      Sz(Class(ext) + L"\\OpenWithProgids", L"file" + ext, L""),
      Sz(Explorer(ext), L"Progid", L"TAVIKShortCut" + ext),
      Sz(Explorer(ext), L"Application", L"Varnel.exe"),
      Sz(Explorer(ext), L"Other", L"kept"),
      Sz(Explorer(ext) + L"\\OpenWithList", L"a", L"notepad.exe"),
  };
  return entries + farm;
}

// The same extension after a full restoration: the record and the class key
// are gone, the backed-up values are back, everything else stays.
Entries Restored(const std::wstring& ext) {
  return {
      Sz(Class(ext), L"", L"file" + ext),
      Sz(Class(ext) + L"\\OpenWithProgids", L"file" + ext, L""),
      Sz(Explorer(ext), L"Progid", L"progid" + ext),
      Sz(Explorer(ext), L"Application", L"app" + ext + L".exe"),
      Sz(Explorer(ext), L"Other", L"kept"),
      Sz(Explorer(ext) + L"\\OpenWithList", L"a", L"notepad.exe"),
  };
}

// Entries without those of `key` (and below it) or of one value of it.
Entries Without(Entries entries, const std::wstring& key, const std::optional<std::wstring>& name = std::nullopt) {
  Entries kept;
  for (Entry& e : entries) {
    const bool below = e.key == key || e.key.rfind(key + L"\\", 0) == 0;
    if (below && (!name || e.name == name)) continue;
    kept.push_back(std::move(e));
  }
  return kept;
}
Entries Replace(Entries entries, const Entry& replacement) {
  return Without(std::move(entries), replacement.key, replacement.name) + Entries{replacement};
}

std::vector<std::wstring> WatchedRoots() {
  std::vector<std::wstring> roots = {kRecords};
  for (const std::wstring& ext : kExts) {
    roots.push_back(Class(ext));
    roots.push_back(Shortcut(ext));
    roots.push_back(Explorer(ext));
  }
  return roots;
}

using Values = std::map<std::wstring, std::pair<DWORD, std::string>>;
using Snapshot = std::map<std::wstring, Values>;

void SnapshotKey(HKEY parent, const std::wstring& path, Snapshot& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  Values& values = out[path];
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD nameLength = 16384;
    DWORD type = 0;
    BYTE data[4096];
    DWORD size = sizeof data;
    if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values[std::wstring(name, nameLength)] = {type, std::string(reinterpret_cast<char*>(data), size)};
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subkeys.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::wstring& subkey : subkeys) SnapshotKey(parent, path + L"\\" + subkey, out);
}

Snapshot TakeSnapshot() {
  Snapshot out;
  for (const std::wstring& root : WatchedRoots()) SnapshotKey(HKEY_CURRENT_USER, root, out);
  return out;
}

// What the registry must hold for these entries: each key with every key
// between its watched root and it.
Snapshot Expected(const Entries& entries) {
  Snapshot out;
  for (const Entry& e : entries) {
    for (const std::wstring& root : WatchedRoots()) {
      if (e.key != root && e.key.rfind(root + L"\\", 0) != 0) continue;
      for (std::size_t at = root.size(); at != std::wstring::npos; at = e.key.find(L'\\', at + 1)) {
        out[e.key.substr(0, at)];
      }
      out[e.key];
    }
    if (e.name) out[e.key][*e.name] = {e.type, e.bytes};
  }
  return out;
}

void Write(const Entries& entries) {
  for (const Entry& e : entries) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, e.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (e.name) {
      EXPECT_EQ(RegSetValueExW(key, e.name->c_str(), 0, e.type, reinterpret_cast<const BYTE*>(e.bytes.data()),
                               static_cast<DWORD>(e.bytes.size())),
                ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }
}

void Clear() {
  for (const std::wstring& root : WatchedRoots()) DeleteKeyTree(HKEY_CURRENT_USER, root);
}

std::string Describe(const Snapshot& snapshot) {
  std::string text;
  for (const auto& [key, values] : snapshot) {
    text += "[" + Utf8(key) + "]\n";
    for (const auto& [name, value] : values) {
      text += "  " + Utf8(name) + " type " + std::to_string(value.first) + " bytes " +
              std::to_string(value.second.size()) + "\n";
    }
  }
  return text;
}

struct Row {
  const char* name;
  jint farmId;
  Entries before;
  Entries after;
};

class ExtensionsRestoreTest : public GantryTest {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override {
    Clear();
    GantryTest::TearDown();
  }
};

TEST_F(ExtensionsRestoreTest, RecordsAreRestoredByTheirRules) {
  const Entries fourFarms = Taken(L".gta", {Dword(Record(L".gta"), L"FarmID", 5)}) +
                            Taken(L".gtb", {Dword(Record(L".gtb"), L"FarmID", 7)}) + Taken(L".gtc") +
                            Taken(L".gtd", {Sz(Record(L".gtd"), L"FarmID", L"5")});
  const Entries restoredOthers = Restored(L".gta") + Restored(L".gtc") + Restored(L".gtd");
  const Row rows[] = {
      {"farm 0 restores records of every farm, with or without one", 0, fourFarms,
       Entries{Key(kRecords)} + restoredOthers + Restored(L".gtb")},
      {"farm 5: its own records and those without a usable FarmID; farm 7's stays", 5, fourFarms,
       Entries{Key(kRecords)} + restoredOthers + Taken(L".gtb", {Dword(Record(L".gtb"), L"FarmID", 7)})},
      {"a negative farm is the same 32-bit pattern; all bits set is no farm", -2,
       Taken(L".gta", {Dword(Record(L".gta"), L"FarmID", 0xFFFFFFFEu)}) +
           Taken(L".gtb", {Dword(Record(L".gtb"), L"FarmID", 0xFFFFFFFFu)}) +
           Taken(L".gtc", {Dword(Record(L".gtc"), L"FarmID", 7)}),
       Entries{Key(kRecords)} + Restored(L".gta") + Restored(L".gtb") +
           Taken(L".gtc", {Dword(Record(L".gtc"), L"FarmID", 7)})},
      {"two consecutive records of the farm are both handled", 5,
       Taken(L".gta", {Dword(Record(L".gta"), L"FarmID", 5)}) + Taken(L".gtb", {Dword(Record(L".gtb"), L"FarmID", 5)}),
       Entries{Key(kRecords)} + Restored(L".gta") + Restored(L".gtb")},
      {"an empty or missing TavikBackupShortCut removes the class key with its subkeys", 0,
       Replace(Taken(L".gta"), Sz(Record(L".gta"), L"TavikBackupShortCut", L"")) +
           Without(Taken(L".gtb"), Record(L".gtb"), L"TavikBackupShortCut") +
           Replace(Taken(L".gtc"), Raw(Record(L".gtc"), L"TavikBackupShortCut", REG_SZ, "")),
       Entries{Key(kRecords)} + Without(Restored(L".gta"), Class(L".gta")) +
           Without(Restored(L".gtb"), Class(L".gtb")) + Without(Restored(L".gtc"), Class(L".gtc"))},
      {"empty backup values (0 bytes, a single NUL) set empty values", 0,
       Replace(Replace(Taken(L".gta"), Raw(Record(L".gta"), L"TavikBackupProgid", REG_SZ, "")),
               Sz(Record(L".gta"), L"TavikBackupApplication", L"")),
       Entries{Key(kRecords)} +
           Replace(Replace(Restored(L".gta"), Sz(Explorer(L".gta"), L"Progid", L"")),
                   Sz(Explorer(L".gta"), L"Application", L""))},
      {"an unterminated backup value is not put back; the walk and the record's deletion go on", 0,
       Replace(Taken(L".gta"), Raw(Record(L".gta"), L"TavikBackupProgid", REG_SZ, std::string("p\0q", 3))) +
           Replace(Taken(L".gtb"), Raw(Record(L".gtb"), L"TavikBackupApplication", REG_SZ, std::string("a\0b", 3))) +
           Replace(Taken(L".gtc"), Raw(Record(L".gtc"), L"TavikBackupProgid", REG_EXPAND_SZ,
                                       Utf16Bytes(L"%P%.exp"))),
       Entries{Key(kRecords)} + Replace(Restored(L".gta"), Sz(Explorer(L".gta"), L"Progid", L"TAVIKShortCut.gta")) +
           Replace(Restored(L".gtb"), Sz(Explorer(L".gtb"), L"Application", L"Varnel.exe")) +
           Replace(Restored(L".gtc"), Sz(Explorer(L".gtc"), L"Progid", L"%P%.exp"))},
      {"a backup value larger than 260 units is not put back", 0,
       Replace(Taken(L".gta"), Sz(Record(L".gta"), L"TavikBackupProgid", std::wstring(300, L'p'))),
       Entries{Key(kRecords)} + Replace(Restored(L".gta"), Sz(Explorer(L".gta"), L"Progid", L"TAVIKShortCut.gta"))},
      {"a missing Explorer key: classes restored, nothing else, record deleted", 0,
       Without(Taken(L".gta"), Explorer(L".gta")),
       Entries{Key(kRecords)} + Without(Restored(L".gta"), Explorer(L".gta"))},
      {"a class key already gone counts as deleted: Explorer's values are put back, the record goes", 0,
       Without(Taken(L".gta"), Shortcut(L".gta")), Entries{Key(kRecords)} + Restored(L".gta")},
      {"nothing restorable left: no TavikBackupApplication, or one larger than 260 units; the record goes", 0,
       Without(Taken(L".gta"), Record(L".gta"), L"TavikBackupApplication") +
           Replace(Taken(L".gtb"), Sz(Record(L".gtb"), L"TavikBackupApplication", std::wstring(300, L'a'))),
       Entries{Key(kRecords)} + Replace(Restored(L".gta"), Sz(Explorer(L".gta"), L"Application", L"Varnel.exe")) +
           Replace(Restored(L".gtb"), Sz(Explorer(L".gtb"), L"Application", L"Varnel.exe"))},
      {"a record with a subkey is restored but stays; the next is still handled", 0,
       Taken(L".gta", {Key(Record(L".gta") + L"\\extra")}) + Taken(L".gtb"),
       Entries{Sz(Record(L".gta"), L"TavikBackupShortCut", L"file.gta"), Key(Record(L".gta") + L"\\extra")} +
           Restored(L".gta") + Restored(L".gtb")},
      {"no records: an empty record key stays as it is", 0, Entries{Key(kRecords)}, Entries{Key(kRecords)}},
      {"no record key at all", 5, Entries{}, Entries{}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Clear();
    Write(row.before);
    EXPECT_TRUE(UnregisterExtensions(row.farmId));
    const Snapshot actual = TakeSnapshot();
    const Snapshot expected = Expected(row.after);
    EXPECT_EQ(actual, expected) << "actual:\n" << Describe(actual) << "expected:\n" << Describe(expected);
  }
}

// A key whose access list lets everyone read it (and delete it, or change
// the list) but not write to it or below it: RegOpenKeyExW with KEY_WRITE
// answers ERROR_ACCESS_DENIED, under Wine as on Windows. Lifted on request
// and when the holder goes.
class ScopedReadOnlyKey {
 public:
  explicit ScopedReadOnlyKey(const std::wstring& path) : path_(path) { locked_ = SetAccess(L"D:P(A;;KRWDSD;;;WD)"); }
  ~ScopedReadOnlyKey() { Lift(); }
  bool locked() const { return locked_; }
  void Lift() {
    if (locked_) SetAccess(L"D:(A;;KA;;;WD)");
    locked_ = false;
  }

 private:
  bool SetAccess(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
      return false;
    }
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, READ_CONTROL | WRITE_DAC, &key);
    if (result == ERROR_SUCCESS) {
      result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
      RegCloseKey(key);
    }
    LocalFree(descriptor);
    return result == ERROR_SUCCESS;
  }

  std::wstring path_;
  bool locked_ = false;
};

// When a restoration step fails with a real error, the record keeps what is
// left to put back, the walk goes on to the next record (each is visited
// once), and a later call, once the key can be written, finishes the job.
TEST_F(ExtensionsRestoreTest, ARecordWhoseRestorationFailsIsKeptForALaterCall) {
  const Entries others = Taken(L".gta") + Taken(L".gtc") + Taken(L".gtd");
  const Entries othersRestored = Restored(L".gta") + Restored(L".gtc") + Restored(L".gtd");
  const std::wstring ext = L".gtb";
  struct Case {
    const char* name;
    std::wstring lockedKey;
    Entries afterFirstCall;  // of .gtb
  } cases[] = {
      {"the Explorer key cannot be written: the record keeps every backup value", Explorer(ext),
       Replace(Without(Taken(ext), Shortcut(ext)), Sz(Class(ext), L"", L"file" + ext))},
      {"the client's class key cannot be deleted: Explorer is not touched", Shortcut(ext) + L"\\shell",
       Replace(Taken(ext), Sz(Class(ext), L"", L"file" + ext))},
      {"the class default cannot be written: Explorer's values are put back, the record keeps the class backup",
       Class(ext),
       Entries{Sz(Record(ext), L"TavikBackupShortCut", L"file" + ext), Sz(Class(ext), L"", L"TAVIKShortCut" + ext)} +
           Without(Restored(ext), Class(ext), L"")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    Write(others + Taken(ext));
    ScopedReadOnlyKey locked(c.lockedKey);
    ASSERT_TRUE(locked.locked());
    EXPECT_TRUE(UnregisterExtensions(0)) << "true whatever happened";
    Snapshot actual = TakeSnapshot();
    Snapshot expected = Expected(Entries{Key(kRecords)} + othersRestored + c.afterFirstCall);
    EXPECT_EQ(actual, expected) << "after the first call:\n" << Describe(actual) << "expected:\n" << Describe(expected);

    locked.Lift();
    EXPECT_TRUE(UnregisterExtensions(0));
    actual = TakeSnapshot();
    expected = Expected(Entries{Key(kRecords)} + othersRestored + Restored(ext));
    EXPECT_EQ(actual, expected) << "after a later call:\n" << Describe(actual) << "expected:\n" << Describe(expected);
  }
}

TEST_F(ExtensionsRestoreTest, KeyTreesAreDeletedWithAndWithoutRegDeleteKeyEx) {
  for (const bool systemHasDeleteKeyEx : {true, false}) {
    SCOPED_TRACE(systemHasDeleteKeyEx);
    Write({Sz(Class(L".gta") + L"\\a\\b\\c", L"v", L"x"), Key(Class(L".gta") + L"\\d")});
    HKEY classes = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kClasses.c_str(), 0, KEY_READ | KEY_WRITE, &classes), ERROR_SUCCESS);
    if (systemHasDeleteKeyEx) {
      EXPECT_EQ(DeleteKeyWithSubtree(classes, L".gta"), ERROR_SUCCESS);
    } else {
      // As on Windows XP: every level goes through RegDeleteKeyW.
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyExW(classes, L".gta\\a\\b", 0, KEY_READ | KEY_WRITE, &key), ERROR_SUCCESS);
      EXPECT_EQ(DeleteLeafKeyWith(nullptr, key, L"c"), ERROR_SUCCESS);
      RegCloseKey(key);
      EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Class(L".gta") + L"\\a\\b\\c"));
      EXPECT_NE(DeleteLeafKeyWith(nullptr, classes, L".gta"), ERROR_SUCCESS) << "a key with subkeys stays";
      EXPECT_EQ(DeleteKeyWithSubtree(classes, L".gta"), ERROR_SUCCESS);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Class(L".gta")));
    EXPECT_EQ(DeleteKeyWithSubtree(classes, L".gta"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(classes);
  }
}

}  // namespace
}  // namespace gantry::testing
