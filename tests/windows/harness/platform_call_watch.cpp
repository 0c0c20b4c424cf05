#include "tests/windows/harness/platform_call_watch.h"

#include <msi.h>
#include <msiquery.h>
#include <setupapi.h>

#include <cstring>
#include <iterator>

namespace gantry::testing {
namespace {

// One working thread installs at a time, so one stack serves; the frames are
// written before the depth grows and read only with that thread stopped.
struct Frame {
  const char* call;  // null: the library's own callback, inside the call below it
  DWORD start;
};
Frame frames[32];
volatile LONG depth = 0;

class CallScope {
 public:
  explicit CallScope(const char* call) {
    const LONG at = depth;
    if (at < static_cast<LONG>(std::size(frames))) frames[at] = {call, GetTickCount()};
    InterlockedIncrement(&depth);
  }
  ~CallScope() { InterlockedDecrement(&depth); }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;
};

#define GANTRY_WATCHED(Name, Result, Parameters, Arguments)                      \
  void* original##Name = nullptr;                                                \
  Result WINAPI Watched##Name Parameters {                                       \
    CallScope scope(#Name);                                                      \
    return reinterpret_cast<decltype(&Watched##Name)>(original##Name) Arguments; \
  }

GANTRY_WATCHED(MsiOpenDatabaseW, UINT, (LPCWSTR path, LPCWSTR persist, MSIHANDLE* database), (path, persist, database))
GANTRY_WATCHED(MsiDatabaseOpenViewW, UINT, (MSIHANDLE database, LPCWSTR query, MSIHANDLE* view),
               (database, query, view))
GANTRY_WATCHED(MsiViewExecute, UINT, (MSIHANDLE view, MSIHANDLE parameters), (view, parameters))
GANTRY_WATCHED(MsiViewFetch, UINT, (MSIHANDLE view, MSIHANDLE* record), (view, record))
GANTRY_WATCHED(MsiRecordGetStringW, UINT, (MSIHANDLE record, UINT field, LPWSTR text, LPDWORD units),
               (record, field, text, units))
GANTRY_WATCHED(MsiRecordReadStream, UINT, (MSIHANDLE record, UINT field, char* bytes, LPDWORD count),
               (record, field, bytes, count))
GANTRY_WATCHED(MsiRecordSetStringW, UINT, (MSIHANDLE record, UINT field, LPCWSTR text), (record, field, text))
GANTRY_WATCHED(MsiCreateRecord, MSIHANDLE, (UINT fields), (fields))
GANTRY_WATCHED(MsiCloseHandle, UINT, (MSIHANDLE handle), (handle))

struct WalkContext {
  PSP_FILE_CALLBACK_W callback;
  PVOID context;
};

UINT CALLBACK WatchedCabinetCallback(PVOID context, UINT notification, UINT_PTR first, UINT_PTR second) {
  const auto& walk = *static_cast<WalkContext*>(context);
  CallScope library(nullptr);
  return walk.callback(walk.context, notification, first, second);
}

void* originalSetupIterateCabinetW = nullptr;
BOOL WINAPI WatchedSetupIterateCabinetW(PCWSTR cabinet, DWORD reserved, PSP_FILE_CALLBACK_W callback, PVOID context) {
  WalkContext walk{callback, context};
  CallScope scope("SetupIterateCabinetW");
  return reinterpret_cast<decltype(&WatchedSetupIterateCabinetW)>(originalSetupIterateCabinetW)(
      cabinet, reserved, WatchedCabinetCallback, &walk);
}

struct Watched {
  const char* module;
  const char* name;
  void* wrapper;
  void** original;
};

#define GANTRY_WATCH(Module, Name) \
  Watched { Module, #Name, reinterpret_cast<void*>(Watched##Name), &original##Name }

const Watched kWatched[] = {
    GANTRY_WATCH("msi.dll", MsiOpenDatabaseW),       GANTRY_WATCH("msi.dll", MsiDatabaseOpenViewW),
    GANTRY_WATCH("msi.dll", MsiViewExecute),         GANTRY_WATCH("msi.dll", MsiViewFetch),
    GANTRY_WATCH("msi.dll", MsiRecordGetStringW),    GANTRY_WATCH("msi.dll", MsiRecordReadStream),
    GANTRY_WATCH("msi.dll", MsiRecordSetStringW),    GANTRY_WATCH("msi.dll", MsiCreateRecord),
    GANTRY_WATCH("msi.dll", MsiCloseHandle),         GANTRY_WATCH("setupapi.dll", SetupIterateCabinetW),
};

// The import slot of `function` from `module` in `image`, or null.
ULONG_PTR* ImportSlot(HMODULE image, const char* module, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
       ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), module) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
        return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

}  // namespace

bool WatchLibraryPlatformCalls(HMODULE library) {
  if (library == nullptr) return false;
  bool patched = true;
  for (const Watched& watched : kWatched) {
    ULONG_PTR* slot = ImportSlot(library, watched.module, watched.name);
    if (slot == nullptr) continue;  // not imported: nothing to watch
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) {
      patched = false;
      continue;
    }
    *watched.original = reinterpret_cast<void*>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(watched.wrapper);
    VirtualProtect(slot, sizeof *slot, protection, &protection);
  }
  return patched;
}

PlatformCallInProgress CurrentPlatformCall() {
  const LONG at = depth;
  if (at <= 0 || at > static_cast<LONG>(std::size(frames))) return {};
  const Frame& innermost = frames[at - 1];
  if (innermost.call == nullptr) return {};
  return {innermost.call, GetTickCount() - innermost.start};
}

}  // namespace gantry::testing
