// The per-user registration written for real into Wine's HKEY_CURRENT_USER
// (Wine does not show it through HKEY_CLASSES_ROOT, so it is read there).
#include <gtest/gtest.h>

#include <string>

#include "tests/windows/harness/basic_client_support.h"
#include "tests/windows/harness/test_support.h"
#include "windows/install/client_registration.h"

namespace gantry::testing {
namespace {

const std::wstring kProgram = L"C:\\users\\Test User\\AppData\\Roaming\\KuvClient\\Bin\\Varnel.exe";

struct ExpectedValue {
  const wchar_t* key;
  const wchar_t* name;  // nullptr: the default value
  std::wstring data;
};

// The ten values, in the order they are written: A1 to A5, then B1 to B5.
std::vector<ExpectedValue> TenValues() {
  return {
      {L"Software\\Classes\\MIME\\Database\\Content Type\\application/x-kuva", L"Extension", L".kuva"},
      {L"Software\\Classes\\Varnel.Document", nullptr, L"Varnel.Document"},
      {L"Software\\Classes\\Varnel.Document\\DefaultIcon", nullptr, kProgram + L",0"},
      {L"Software\\Classes\\Varnel.Document\\shell\\open\\command", nullptr, kProgram + L" %1"},
      {L"Software\\Classes\\.kuva", nullptr, L"Varnel.Document"},
      {L"Software\\Classes\\tavikclient", L"URL Protocol", L""},
      {L"Software\\Classes\\tavikclient\\DefaultIcon", nullptr, kProgram + L",0"},
      {L"Software\\Classes\\tavikclient\\shell", nullptr, L"open"},
      {L"Software\\Classes\\tavikclient\\shell\\open", nullptr, L""},
      {L"Software\\Classes\\tavikclient\\shell\\open\\command", nullptr, L"\"" + kProgram + L"\" urlSchema \"%1\""},
  };
}

std::map<std::wstring, RawValue> RegistrationSnapshot() {
  std::map<std::wstring, RawValue> all;
  for (const wchar_t* key : kRegistrationTopKeys) {
    for (auto& [path, value] : SnapshotRegistry(HKEY_CURRENT_USER, key)) all[key + path] = value;
  }
  return all;
}

class RegistrationTest : public GantryTest {
 protected:
  void SetUp() override { RemoveBasicClientTraces(); }
  void TearDown() override {
    RemoveBasicClientTraces();
    GantryTest::TearDown();
  }
};

TEST_F(RegistrationTest, EmptyProfileGetsAllTenValuesAsTerminatedStrings) {
  ASSERT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\MIME"));
  EXPECT_EQ(RegisterConnectionFileType(kProgram), 1);
  EXPECT_EQ(RegisterUrlProtocol(kProgram), 1);
  for (const ExpectedValue& value : TenValues()) {
    SCOPED_TRACE(Utf8(value.key) + " " + (value.name ? Utf8(value.name) : "(default)"));
    EXPECT_EQ(ReadRawValue(HKEY_CURRENT_USER, value.key, value.name), StringValue(value.data));
  }
  for (const wchar_t* parent : {L"Software\\Classes\\MIME", L"Software\\Classes\\MIME\\Database",
                                L"Software\\Classes\\MIME\\Database\\Content Type"}) {
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, parent)) << Utf8(parent);
  }
  // The ProgID's "shell" and "shell\open" exist only as the command's path.
  EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document\\shell", nullptr));
  EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, L"Software\\Classes\\Varnel.Document\\shell\\open", nullptr));
  // Nothing beyond the ten values (and the keys on their paths).
  std::size_t values = 0;
  for (const auto& [path, value] : RegistrationSnapshot()) values += path.find(L"|<key>") == std::wstring::npos;
  EXPECT_EQ(values, 10u);
}

TEST_F(RegistrationTest, SecondRunChangesNothing) {
  RegisterConnectionFileType(kProgram);
  RegisterUrlProtocol(kProgram);
  const auto first = RegistrationSnapshot();
  EXPECT_EQ(RegisterConnectionFileType(kProgram), 1);
  EXPECT_EQ(RegisterUrlProtocol(kProgram), 1);
  EXPECT_EQ(RegistrationSnapshot(), first);
}

TEST_F(RegistrationTest, OtherValuesAndSubkeysStay) {
  const std::wstring kuva = L"Software\\Classes\\.kuva";
  const std::wstring progId = L"Software\\Classes\\Varnel.Document";
  const std::wstring protocol = L"Software\\Classes\\tavikclient";
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kuva, nullptr, L"Other.Document"));
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kuva, L"Content Type", L"application/x-kuva"));
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, kuva + L"\\OpenWithProgids", L"Other.Document", L""));
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, progId, L"FriendlyTypeName", L"Connection file"));
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, progId + L"\\shell\\edit\\command", nullptr, L"notepad %1"));
  ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, protocol + L"\\shell\\open\\ddeexec", nullptr, L"[open]"));
  RegisterConnectionFileType(kProgram);
  RegisterUrlProtocol(kProgram);
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, kuva, nullptr), L"Varnel.Document");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, kuva, L"Content Type"), L"application/x-kuva");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, kuva + L"\\OpenWithProgids", L"Other.Document"), L"");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, progId, L"FriendlyTypeName"), L"Connection file");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, progId + L"\\shell\\edit\\command", nullptr), L"notepad %1");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, protocol + L"\\shell\\open\\ddeexec", nullptr), L"[open]");
  EXPECT_EQ(GetStringValue(HKEY_CURRENT_USER, protocol + L"\\shell\\open\\command", nullptr),
            L"\"" + kProgram + L"\" urlSchema \"%1\"");
}

// A key made volatile refuses lasting subkeys, so each write below it fails
// for real; the operation stops there and keeps what it wrote before.
struct FailureRow {
  const char* name;
  std::wstring volatileKey;
  int fileTypeResult;
  int protocolResult;
  std::vector<std::size_t> written;  // indexes into TenValues()
};

TEST_F(RegistrationTest, StopsAtTheFirstFailure) {
  const FailureRow rows[] = {
      {"A1 cannot be created", L"Software\\Classes\\MIME", 0, 1, {5, 6, 7, 8, 9}},
      {"A4 cannot be created", L"Software\\Classes\\Varnel.Document\\shell", 0, 1, {0, 1, 2, 5, 6, 7, 8, 9}},
      {"B2 cannot be created", L"Software\\Classes\\tavikclient", 1, 0, {0, 1, 2, 3, 4, 5}},
  };
  const std::vector<ExpectedValue> ten = TenValues();
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.name);
    RemoveBasicClientTraces();
    ASSERT_TRUE(SetStringValue(HKEY_CURRENT_USER, L"Software\\Classes\\.kuva", nullptr, L"Previous.Document"));
    ASSERT_TRUE(MakeVolatileKey(row.volatileKey)) << "Wine refused no lasting child below a volatile key";
    EXPECT_EQ(RegisterConnectionFileType(kProgram), row.fileTypeResult);
    EXPECT_EQ(RegisterUrlProtocol(kProgram), row.protocolResult);
    for (std::size_t i = 0; i < ten.size(); ++i) {
      SCOPED_TRACE(Utf8(ten[i].key));
      const bool expectWritten = std::find(row.written.begin(), row.written.end(), i) != row.written.end();
      const std::optional<RawValue> value = ReadRawValue(HKEY_CURRENT_USER, ten[i].key, ten[i].name);
      if (expectWritten) {
        EXPECT_EQ(value, StringValue(ten[i].data));
      } else if (i == 4) {
        EXPECT_EQ(value, StringValue(L"Previous.Document")) << ".kuva keeps its earlier default";
      } else {
        EXPECT_FALSE(value.has_value());
      }
    }
  }
}

}  // namespace
}  // namespace gantry::testing
