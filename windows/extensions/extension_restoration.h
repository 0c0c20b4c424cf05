// Putting back the file-extension associations the client program took over
// for the current user, from the records it left under
// HKEY_CURRENT_USER\Software\Kuv\FileExts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "windows/extensions/core/extension_record.h"

namespace gantry {

// Restores the records of a farm (0: every farm), then tells the shell that
// associations changed. Always true: nothing about the outcome is reported.
bool UnregisterExtensions(std::int32_t farmId);

// Walks the records and restores and deletes each one of the farm.
void RestoreExtensions(std::int32_t farmId);

// Restores one extension from its record. 0 when the record may be
// deleted: everything was put back, or nothing restorable remains (no
// Explorer key, no usable "TavikBackupApplication"). Otherwise the first real
// error, and the record keeps what a later call still has to put back.
LONG RestoreExtension(const std::wstring& ext);

// The class keys under HKCU\Software\Classes: the extension's key gets its
// backed-up default value back (or goes when there is none) and the client
// program's "TAVIKShortCut<ext>" key goes; one already gone counts as deleted.
void RestoreClassesEntry(const std::wstring& ext, HKEY backupKey, RecordRestoration& restoration);

// "Progid" and "Application" of the extension's Explorer key from the
// record; each backup value is deleted once it is put back.
void RestoreExplorerEntry(const std::wstring& ext, HKEY backupKey, RecordRestoration& restoration);

// Deletes the key `name` below `parent` with everything below it.
LONG DeleteKeyWithSubtree(HKEY parent, const wchar_t* name);

// RegDeleteKeyExW's shape; Windows XP has no such function.
using RegDeleteKeyExFunction = LONG(WINAPI*)(HKEY, const wchar_t*, REGSAM, DWORD);

// Deletes a key without subkeys with RegDeleteKeyExW (view flags 0), or with
// RegDeleteKeyW where the system has no RegDeleteKeyExW. The address is
// looked up once per process.
LONG DeleteLeafKey(HKEY parent, const wchar_t* name);
// The same with a given RegDeleteKeyExW (null: the system has none).
LONG DeleteLeafKeyWith(RegDeleteKeyExFunction deleteKeyEx, HKEY parent, const wchar_t* name);

}  // namespace gantry
