// The Java-facing edge of Gantry.dll: its exports as the JVM binds them, the
// JNI functions it may touch, and the strings that cross.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "boundary/core/modified_utf8.h"
#include "boundary/java_strings.h"
#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

// Every native method that Native/Gantry.java declares, with the bytes of
// its native arguments on x86, generated from the Java source at configure time.
struct ExportRow {
  const char* method;
  int argumentBytes;
};
const ExportRow kJavaContract[] = {
#include "gantry_export_table.inc"
};

// The name the JVM looks up: plain on x64, "_Name@bytes" on x86.
std::string JvmExportName(const ExportRow& row) {
  const std::string plain = std::string("Java_Native_Gantry_") + row.method;
#if defined(_WIN64)
  return plain;
#else
  return "_" + plain + "@" + std::to_string(row.argumentBytes);
#endif
}

class BoundaryTest : public GantryTest {};

TEST_F(BoundaryTest, EveryJavaMethodResolvesByItsExactJvmName) {
  ASSERT_TRUE(Library().loaded()) << "LoadLibrary(Gantry.dll) failed with " << Library().loadError();
  ASSERT_EQ(std::size(kJavaContract), 17u) << "Native/Gantry.java declares 17 native methods";
  for (const ExportRow& row : kJavaContract) {
    const std::string name = JvmExportName(row);
    EXPECT_NE(GetProcAddress(Library().module(), name.c_str()), nullptr) << name << " is not exported";
#if !defined(_WIN64)
    // The undecorated form is not what the JVM looks for on x86.
    EXPECT_EQ(GetProcAddress(Library().module(), (std::string("Java_Native_Gantry_") + row.method).c_str()), nullptr)
        << row.method << " is exported undecorated";
#endif
  }
}

TEST_F(BoundaryTest, GetNativeVersionIsTwoOnEveryCall) {
  for (int call = 0; call < 3; ++call) EXPECT_EQ(GetNativeVersion(), 2);
  EXPECT_EQ(jni.GetCount() + jni.NewCount() + jni.ReleaseCount(), 0) << "GetNativeVersion touches nothing";
}

// The identifier of a registered window message, found without registering
// it: registered messages and clipboard formats share one table, so the
// clipboard format name of an identifier is the message's name. 0 when no
// identifier from 0xC000 up carries the name.
UINT FindRegisteredMessage(const wchar_t* name) {
  for (UINT id = 0xC000; id <= 0xFFFF; ++id) {
    wchar_t found[256] = {};
    if (GetClipboardFormatNameW(id, found, 256) > 0 && lstrcmpiW(found, name) == 0) return id;
  }
  return 0;
}

// How many times the name of a registered message was registered, read from
// Wine's atom table, where Wine keeps registered messages with a usage count.
std::optional<unsigned> WineRegistrationCount(UINT id) {
  struct AtomBasicInformation {
    USHORT usageCount;
    USHORT flags;
    USHORT nameLength;
    WCHAR name[256];
  } information = {};
  using Query = LONG(WINAPI*)(USHORT, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationAtom")));
  if (query == nullptr || query(static_cast<USHORT>(id), 0, &information, sizeof information, nullptr) != 0) {
    return std::nullopt;
  }
  return information.usageCount;
}

TEST_F(BoundaryTest, SessionControlMessageIsRegisteredWhenTheLibraryLoads) {
  // A copy of the DLL under another name is a module of its own, so loading
  // it runs the library's static initialisation again; no export is called.
  ScratchFolder folder(L"gantry-load");
  const std::wstring copy = folder / L"GantryLoadProbe.dll";
  ASSERT_TRUE(CopyFileW((TestBinDir() + L"\\Gantry.dll").c_str(), copy.c_str(), FALSE));

  const UINT before = FindRegisteredMessage(L"kuvSessionControl");
  const std::optional<unsigned> countBefore = before != 0 ? WineRegistrationCount(before) : 0u;
  HMODULE probe = LoadLibraryW(copy.c_str());
  ASSERT_NE(probe, nullptr) << GetLastError();
  const UINT after = FindRegisteredMessage(L"kuvSessionControl");
  const std::optional<unsigned> countAfter = after != 0 ? WineRegistrationCount(after) : std::nullopt;
  FreeLibrary(probe);

  EXPECT_GE(after, 0xC000u) << "the name is registered once the library is loaded";
  if (before != 0) {
    EXPECT_EQ(after, before) << "a registered name keeps its identifier";
  }
  if (!RunsUnderWine()) {
    // Windows keeps registered messages in the session's user atom table,
    // whose usage counts no call reads; other processes may have registered
    // the name before, so only its presence can be checked there.
    GTEST_SKIP() << "the registration by the load itself is seen under Wine only";
  }
  // Wine counts each registration of the name, so the load's own shows even
  // when this program or a client registered the name before.
  ASSERT_TRUE(countBefore.has_value() && countAfter.has_value());
  EXPECT_EQ(*countAfter, *countBefore + 1) << "loading the library registers the message once";
}

// A library that touches any slot but 167, 169 and 170 must fail the test.
// The trap ends the process with its own code and names the slot.
using FindClassFunction = jclass(JNICALL*)(JNIEnv*, const char*);
TEST(FakeJniTrapDeathTest, ATouchedSlotOtherThanTheThreeFailsAndNamesIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        FakeJni jni;
        JNIEnv* env = jni.env();
        env->FindClass("java/lang/String");  // slot 6
      },
      ::testing::ExitedWithCode(kTrapExitCode), "slot 6");
  EXPECT_EXIT(
      {
        FakeJni jni;
        jni.env()->ExceptionClear();  // slot 17
      },
      ::testing::ExitedWithCode(kTrapExitCode), "slot 17");
}

TEST(FakeJniTest, ChecksReleaseDisciplineAndIsCopy) {
  FakeJni jni;
  JNIEnv* env = jni.env();
  jstring s = jni.NewString(u"abc");
  jboolean isCopy = JNI_FALSE;
  const char* withCopy = env->GetStringUTFChars(s, &isCopy);
  env->ReleaseStringUTFChars(s, withCopy);
  env->ReleaseStringUTFChars(s, withCopy);  // twice
  const char* kept = env->GetStringUTFChars(s, nullptr);
  const std::vector<std::string> violations = jni.Violations();
  ASSERT_EQ(violations.size(), 2u);
  EXPECT_NE(violations[0].find("is-copy"), std::string::npos);
  EXPECT_NE(violations[1].find("not out"), std::string::npos);
  EXPECT_EQ(jni.OutstandingBuffers(), 1u);
  env->ReleaseStringUTFChars(s, kept);
  EXPECT_EQ(jni.OutstandingBuffers(), 0u);
}

// The library's codec against the fake JVM's own, on texts that matter for
// paths and connection texts: accents, U+0000, a character outside the BMP.
TEST_F(BoundaryTest, NonAsciiPathRoundTripsThroughTheCodec) {
  const std::u16string texts[] = {
      u"C:\\T\u00e9l\u00e9chargements\\client.msi",
      u"D:\\\u00dcbung\\client.msi",
      u"C:\\\u65e5\u672c\\\U0001F600.msi",
      std::u16string(u"a\0b", 3),
  };
  for (const std::u16string& text : texts) {
    jstring javaString = Str(text);
    {
      JavaStringBytes bytes(jni.env(), javaString);
      ASSERT_TRUE(bytes.ok());
      EXPECT_EQ(std::string(bytes.bytes()), JvmModifiedUtf8(text));
      const std::optional<std::u16string> decoded = DecodeModifiedUtf8(bytes.bytes());
      ASSERT_TRUE(decoded.has_value());
      EXPECT_EQ(*decoded, text);
      // A path with U+0000 would reach Windows cut short: refused.
      EXPECT_EQ(ReadPathArgument(bytes).has_value(), text.find(u'\0') == std::u16string::npos);
    }
    jstring back = MakeJavaString(jni.env(), text);
    EXPECT_EQ(jni.TextOf(back), text);
  }
}

TEST_F(BoundaryTest, NullJavaStringGivesNoBytesAndCallsNothing) {
  JavaStringBytes bytes(jni.env(), nullptr);
  EXPECT_FALSE(bytes.ok());
  EXPECT_FALSE(ReadPathArgument(bytes).has_value());
  EXPECT_EQ(jni.GetCount(), 0);
}

}  // namespace
}  // namespace gantry::testing
