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

LONG RestoreClassesEntry(const std::wstring& ext, HKEY backupKey) {
  ValueRead shortcut;
  ReadStringValue(backupKey, L"TavikBackupShortCut", shortcut);
  const std::u16string text = ShortcutBackupText(shortcut);

  UniqueHkey classes;
  const LONG opened = OpenKey(HKEY_CURRENT_USER, kClassesKey, classes);
  if (opened != ERROR_SUCCESS) return opened;

  if (!text.empty()) {
    UniqueHkey extensionClass;
    if (CreateKey(std::wstring(kClassesKey) + L"\\" + ext, extensionClass) == ERROR_SUCCESS) {
      SetString(extensionClass.get(), nullptr, text);
    }
  } else {
    DeleteKeyWithSubtree(classes.get(), ext.c_str());
  }
  return DeleteKeyWithSubtree(classes.get(), (L"TAVIKShortCut" + ext).c_str());
}

LONG RestoreExplorerEntry(const std::wstring& ext, HKEY backupKey) {
  UniqueHkey explorer;
  const LONG opened = OpenKey(HKEY_CURRENT_USER, kExplorerExtensionsKey + ext, explorer);
  if (opened != ERROR_SUCCESS) return opened;

  ValueRead progid;
  ReadStringValue(backupKey, L"TavikBackupProgid", progid);
  if (const std::optional<std::u16string> text = BackupStringText(progid)) {
    const LONG set = SetString(explorer.get(), L"Progid", *text);
    if (set != ERROR_SUCCESS) return set;
    const LONG deleted = RegDeleteValueW(backupKey, L"TavikBackupProgid");
    if (deleted != ERROR_SUCCESS) return deleted;
  }

  ValueRead application;
  const LONG read = ReadStringValue(backupKey, L"TavikBackupApplication", application);
  if (read != ERROR_SUCCESS) return read;
  const std::optional<std::u16string> text = BackupStringText(application);
  if (!text) return ERROR_INVALID_DATA;
  const LONG set = SetString(explorer.get(), L"Application", *text);
  if (set != ERROR_SUCCESS) return set;
  return RegDeleteValueW(backupKey, L"TavikBackupApplication");
}

LONG RestoreExtension(const std::wstring& ext) {
  UniqueHkey backupKey;
  const LONG opened = CreateKey(RecordKeyPath(ext), backupKey);
  if (opened != ERROR_SUCCESS) return opened;
  const LONG classes = RestoreClassesEntry(ext, backupKey.get());
  if (classes != ERROR_SUCCESS) return classes;
  return RestoreExplorerEntry(ext, backupKey.get());
}

void RestoreExtensions(std::int32_t farmId) {
  UniqueHkey records;
  if (OpenKey(HKEY_CURRENT_USER, kRecordsKey, records) != ERROR_SUCCESS) return;

  // A deleted record moves the next one into its position, so the index
  // only advances past records that stay.
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
    RestoreExtension(ext);
    if (DeleteLeafKey(records.get(), ext.c_str()) != ERROR_SUCCESS) ++index;
  }
}

bool UnregisterExtensions(std::int32_t farmId) {
  RestoreExtensions(farmId);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return true;
}

}  // namespace gantry
