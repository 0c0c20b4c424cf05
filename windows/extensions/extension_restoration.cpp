#include "windows/extensions/extension_restoration.h"

#include <shlobj.h>

#include <atomic>

#include "windows/extensions/core/extension_record.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr wchar_t kRecordsKey[] = L"Software\\Kuv\\FileExts";
constexpr wchar_t kClassesKey[] = L"Software\\Classes";
constexpr wchar_t kExplorerExtensionsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

std::wstring RecordKeyPath(const std::wstring& ext) { return std::wstring(kRecordsKey) + L"\\" + ext; }

LONG OpenKey(HKEY parent, const std::wstring& path, UniqueHkey& key) {
  return RegOpenKeyExW(parent, path.c_str(), 0, kReadWrite, key.put());
}

LONG CreateKey(const std::wstring& path, UniqueHkey& key) {
  return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite, nullptr,
                         key.put(), nullptr);
}

LONG SetString(HKEY key, const wchar_t* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

// One string value read into a cleared buffer of 260 units; the read fails
// (ERROR_MORE_DATA) for data larger than that.
LONG ReadStringValue(HKEY key, const wchar_t* name, ValueRead& read) {
  read = ValueRead();
  read.units.assign(kBackupValueUnits, u'\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(kBackupValueBytes);
  const LONG result =
      RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(read.units.data()), &size);
  read.succeeded = result == ERROR_SUCCESS;
  read.type = type;
  read.byteCount = read.succeeded ? size : 0;
  return result;
}

std::int32_t ReadRecordFarm(HKEY recordKey) {
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  const LONG result =
      RegQueryValueExW(recordKey, L"FarmID", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  return RecordFarm(result == ERROR_SUCCESS, type, size, value);
}

std::atomic<bool> deleteKeyExLookedUp{false};
std::atomic<RegDeleteKeyExFunction> deleteKeyEx{nullptr};

RegDeleteKeyExFunction SystemDeleteKeyEx() {
  if (!deleteKeyExLookedUp.load(std::memory_order_acquire)) {
    // Two threads looking it up at once store the same address.
    RegDeleteKeyExFunction found = nullptr;
    if (HMODULE advapi = GetModuleHandleW(L"Advapi32.dll")) {
      found = reinterpret_cast<RegDeleteKeyExFunction>(
          reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegDeleteKeyExW")));
    }
    deleteKeyEx.store(found, std::memory_order_relaxed);
    deleteKeyExLookedUp.store(true, std::memory_order_release);
  }
  return deleteKeyEx.load(std::memory_order_relaxed);
}

}  // namespace

LONG DeleteLeafKeyWith(RegDeleteKeyExFunction deleteKeyExFunction, HKEY parent, const wchar_t* name) {
  if (deleteKeyExFunction != nullptr) return deleteKeyExFunction(parent, name, 0, 0);
  return RegDeleteKeyW(parent, name);
}

LONG DeleteLeafKey(HKEY parent, const wchar_t* name) { return DeleteLeafKeyWith(SystemDeleteKeyEx(), parent, name); }

LONG DeleteKeyWithSubtree(HKEY parent, const wchar_t* name) {
  {
    UniqueHkey key;
    const LONG opened = RegOpenKeyExW(parent, name, 0, kReadWrite, key.put());
    if (opened != ERROR_SUCCESS) return opened;
    for (;;) {
      wchar_t subkey[256] = {};  // key names are at most 255 units
      DWORD length = 256;
      if (RegEnumKeyExW(key.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      const LONG deleted = DeleteKeyWithSubtree(key.get(), subkey);
      if (deleted != ERROR_SUCCESS) return deleted;
    }
  }
  return DeleteLeafKey(parent, name);
}

void RestoreClassesEntry(const std::wstring& ext, HKEY backupKey, RecordRestoration& restoration) {
  ValueRead shortcut;
  ReadStringValue(backupKey, L"TavikBackupShortCut", shortcut);
  const std::u16string text = ShortcutBackupText(shortcut);

  UniqueHkey classes;
  if (!restoration.Note(RestoreStep::OpenClasses, OpenKey(HKEY_CURRENT_USER, kClassesKey, classes))) return;

  if (!text.empty()) {
    UniqueHkey extensionClass;
    LONG written = CreateKey(std::wstring(kClassesKey) + L"\\" + ext, extensionClass);
    if (written == ERROR_SUCCESS) written = SetString(extensionClass.get(), nullptr, text);
    if (!restoration.Note(RestoreStep::WriteClassDefault, written)) return;
  } else {
    if (!restoration.Note(RestoreStep::DeleteExtensionClass, DeleteKeyWithSubtree(classes.get(), ext.c_str()))) {
      return;
    }
  }
  restoration.Note(RestoreStep::DeleteClientClass,
                   DeleteKeyWithSubtree(classes.get(), (L"TAVIKShortCut" + ext).c_str()));
}

void RestoreExplorerEntry(const std::wstring& ext, HKEY backupKey, RecordRestoration& restoration) {
  UniqueHkey explorer;
  if (!restoration.Note(RestoreStep::OpenExplorer,
                        OpenKey(HKEY_CURRENT_USER, kExplorerExtensionsKey + ext, explorer))) {
    return;
  }

  // A "TavikBackupProgid" that cannot be read or is no valid string is passed over.
  ValueRead progid;
  ReadStringValue(backupKey, L"TavikBackupProgid", progid);
  if (const std::optional<std::u16string> text = BackupStringText(progid)) {
    LONG put = SetString(explorer.get(), L"Progid", *text);
    if (put == ERROR_SUCCESS) put = RegDeleteValueW(backupKey, L"TavikBackupProgid");
    if (!restoration.Note(RestoreStep::PutBackProgid, put)) return;
  }

  ValueRead application;
  LONG read = ReadStringValue(backupKey, L"TavikBackupApplication", application);
  const std::optional<std::u16string> text = BackupStringText(application);
  if (read == ERROR_SUCCESS && !text) read = ERROR_INVALID_DATA;
  if (!restoration.Note(RestoreStep::ReadApplication, read)) return;
  LONG put = SetString(explorer.get(), L"Application", *text);
  if (put == ERROR_SUCCESS) put = RegDeleteValueW(backupKey, L"TavikBackupApplication");
  restoration.Note(RestoreStep::PutBackApplication, put);
}

LONG RestoreExtension(const std::wstring& ext) {
  RecordRestoration restoration;
  UniqueHkey backupKey;
  if (restoration.Note(RestoreStep::OpenRecord, CreateKey(RecordKeyPath(ext), backupKey))) {
    RestoreClassesEntry(ext, backupKey.get(), restoration);
    if (restoration.GoesOn()) RestoreExplorerEntry(ext, backupKey.get(), restoration);
  }
  return static_cast<LONG>(restoration.failure());
}

void RestoreExtensions(std::int32_t farmId) {
  UniqueHkey records;
  if (OpenKey(HKEY_CURRENT_USER, kRecordsKey, records) != ERROR_SUCCESS) return;

  // A deleted record moves the next one into its position, so the index
  // only advances past records that stay: each is visited once.
  for (DWORD index = 0;;) {
    wchar_t name[kBackupValueUnits] = {};
    DWORD length = kBackupValueUnits;
    if (RegEnumKeyExW(records.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    const std::wstring ext(name, length);
    if (farmId != 0) {
      UniqueHkey record;
      if (OpenKey(HKEY_CURRENT_USER, RecordKeyPath(ext), record) != ERROR_SUCCESS ||
          !RestoresRecord(farmId, ReadRecordFarm(record.get()))) {
        ++index;
        continue;
      }
    }
    // A record whose restoration failed keeps what is left to put back for
    // a later call, and so does one that cannot be deleted: the walk passes
    // over both.
    if (RestoreExtension(ext) != ERROR_SUCCESS || DeleteLeafKey(records.get(), ext.c_str()) != ERROR_SUCCESS) {
      ++index;
    }
  }
}

bool UnregisterExtensions(std::int32_t farmId) {
  RestoreExtensions(farmId);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return true;
}

}  // namespace gantry
