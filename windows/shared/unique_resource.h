// One owner shape for every Windows handle kind: a holder over a close
// function, so no operation calls a close function by hand and an early
// return cannot leak. Resetting a holder closes what it held first.
#pragma once

#include <windows.h>
#include <msi.h>

#include <utility>

namespace gantry {

template <typename Traits>
class UniqueResource {
 public:
  using Handle = typename Traits::Handle;

  UniqueResource() = default;
  explicit UniqueResource(Handle handle) : handle_(handle) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return Traits::IsValid(handle_); }

  // For out-parameters of the creating call; closes what was held first.
  Handle* put() {
    reset();
    return &handle_;
  }

  void reset(Handle handle = Traits::Invalid()) {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }

  Handle release() { return std::exchange(handle_, Traits::Invalid()); }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // process, thread, event: null when absent
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

struct FileHandleTraits {  // CreateFileW: INVALID_HANDLE_VALUE when absent
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { FreeLibrary(h); }
};

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { LocalFree(h); }
};

struct MsiHandleTraits {  // database, view, record: 0 when absent
  using Handle = MSIHANDLE;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) { MsiCloseHandle(h); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFile = UniqueResource<FileHandleTraits>;
using UniqueHkey = UniqueResource<RegistryKeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueLocal = UniqueResource<LocalMemoryTraits>;
using UniqueMsiHandle = UniqueResource<MsiHandleTraits>;

}  // namespace gantry
