// The Java-facing edge of Gantry.dll: its exports as the JVM binds them, the
// JNI functions it may touch, and the strings that cross.
#include <gtest/gtest.h>

#include <string>

#include "boundary/core/modified_utf8.h"
#include "boundary/java_strings.h"
#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

struct ExportRow {
  const char* method;
  int parameters;
  bool built;
};
const ExportRow kExportTable[] = {
#include "gantry_export_table.inc"
};

class BoundaryTest : public GantryTest {};

TEST_F(BoundaryTest, EveryImplementedExportResolvesByItsExactJvmName) {
  ASSERT_TRUE(Library().loaded()) << "LoadLibrary(Gantry.dll) failed with " << Library().loadError();
  int built = 0;
  for (const ExportRow& row : kExportTable) {
    const std::string name = ExportName(row.method, row.parameters);
    FARPROC address = GetProcAddress(Library().module(), name.c_str());
    if (row.built) {
      ++built;
      EXPECT_NE(address, nullptr) << name << " is not exported";
    } else {
      EXPECT_EQ(address, nullptr) << name << " is exported before its operation exists";
    }
    // The undecorated form must not be what x86 exports, and x64 never decorates.
#if !defined(_WIN64)
    EXPECT_EQ(GetProcAddress(Library().module(), (std::string("Java_Native_Gantry_") + row.method).c_str()), nullptr);
#endif
  }
  EXPECT_GE(built, 4);
}

TEST_F(BoundaryTest, GetNativeVersionIsTwoOnEveryCall) {
  for (int call = 0; call < 3; ++call) EXPECT_EQ(GetNativeVersion(), 2);
  EXPECT_EQ(jni.GetCount() + jni.NewCount() + jni.ReleaseCount(), 0) << "GetNativeVersion touches nothing";
}

TEST_F(BoundaryTest, SessionControlMessageIsRegisteredWhenTheLibraryLoads) {
  ASSERT_TRUE(Library().loaded());
  // Registering the same name again returns the identifier the library holds;
  // RegisterWindowMessage gives identifiers from 0xC000 up.
  EXPECT_GE(RegisterWindowMessageW(L"kuvSessionControl"), 0xC000u);
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
