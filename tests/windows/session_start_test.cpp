// Session start under Wine: the connection file in the temporary folder and
// the client program started with it, seen through the test client's log of
// its own command line.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <shellapi.h>

#include "tests/windows/harness/session_client.h"
#include "tests/windows/harness/test_support.h"

namespace gantry::testing {
namespace {

class SessionStartTest : public NoClientTest {
 protected:
  // The command lines the started clients logged; waits for `count` of them.
  std::vector<std::string> LoggedCommandLines(std::size_t count) { return ReadLogLines(logPath_, count, 15000); }

  ScratchFolder scratch_{L"gantry-session-start"};
  std::wstring logPath_ = scratch_ / L"command-lines.log";
  ScopedEnvironment clientLog_{L"GANTRY_CLIENT_LOG", logPath_};
};

std::string Quoted(const std::wstring& path) { return "\"" + Utf8(path) + "\""; }

std::wstring FromUtf8(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                        static_cast<int>(wide.size()));
  wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
  return wide;
}

TEST_F(SessionStartTest, AssociatedClientGetsTheQuotedProgramAndConnectionFile) {
  const std::wstring client = TestClientPath(L"varnel-10.1-build1238");
  ScopedAssociation association = ScopedAssociation::ToProgram(client);
  const std::wstring file = TempFolder() + L"gantry-session.kuva";
  DeleteTree(file);

  ASSERT_TRUE(StartSession(Str(u"[connection]\r\nhost=farm.example\r\n"), Str(u"gantry-session.kuva")));
  EXPECT_EQ(ReadFileBytes(file), "[connection]\r\nhost=farm.example\r\n");
  EXPECT_EQ(LoggedCommandLines(1), (std::vector<std::string>{Quoted(client) + " " + Quoted(file)}));
  EXPECT_FALSE(PathExists(ClientFolder() + L"Bin")) << "the associated client is used as it is";

  // The same name again: the file is emptied and rewritten, the client started again.
  ASSERT_TRUE(StartSession(Str(u"x"), Str(u"gantry-session.kuva")));
  EXPECT_EQ(ReadFileBytes(file), "x");
  EXPECT_EQ(LoggedCommandLines(2).size(), 2u);
  DeleteTree(file);
}

TEST_F(SessionStartTest, BasicClientIsUsedWithoutAnAssociation) {
  const std::wstring bin = ClientFolder() + L"Bin";
  const std::wstring basicClient = bin + L"\\Varnel.exe";
  const std::wstring file = TempFolder() + L"gantry-basic.kuva";
  // Neither an association nor a basic client: false, nothing written or read.
  EXPECT_FALSE(StartSession(Str(u"text"), Str(u"gantry-basic.kuva")));
  EXPECT_FALSE(PathExists(file));
  EXPECT_EQ(jni.GetCount(), 0) << "the Java strings are not read without a client";

  ASSERT_TRUE(CreateFolders(bin));
  ASSERT_TRUE(CopyFileW(TestClientPath(L"varnel-10.1-build1238").c_str(), basicClient.c_str(), FALSE));
  ASSERT_TRUE(StartSession(Str(u"text"), Str(u"gantry-basic.kuva")));
  EXPECT_EQ(ReadFileBytes(file), "text");
  EXPECT_EQ(LoggedCommandLines(1), (std::vector<std::string>{Quoted(basicClient) + " " + Quoted(file)}));
  DeleteTree(file);
}

TEST_F(SessionStartTest, FileHoldsTheModifiedUtf8BytesOfTheText) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  const std::wstring file = TempFolder() + L"gantry-bytes.kuva";
  // "a", U+0000, "é", U+20AC, U+1F600 (a surrogate pair), "z"
  const std::u16string text(u"a\u0000\u00e9\u20ac\U0001F600z", 7);
  ASSERT_EQ(text.size(), 7u);
  ASSERT_TRUE(StartSession(Str(text), Str(u"gantry-bytes.kuva")));
  EXPECT_EQ(ReadFileBytes(file), std::string("a\xC0\x80\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80z", 15));
  // An empty text makes an empty file.
  ASSERT_TRUE(StartSession(Str(u""), Str(u"gantry-bytes.kuva")));
  EXPECT_EQ(ReadFileBytes(file), "");
  DeleteTree(file);
}

TEST_F(SessionStartTest, RelativeSubfolderBelowTheTemporaryFolder) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  ASSERT_TRUE(CreateFolders(scratch_ / L"sub"));
  const std::wstring relative = scratch_.path().substr(TempFolder().size());
  ASSERT_TRUE(StartSession(Str(u"in a folder"), Str(U16(relative + L"\\sub\\c.kuva"))));
  EXPECT_EQ(ReadFileBytes(scratch_ / L"sub\\c.kuva"), "in a folder");
  ASSERT_TRUE(StartSession(Str(u"forward"), Str(U16(relative + L"/sub/d.kuva"))));
  EXPECT_EQ(ReadFileBytes(scratch_ / L"sub\\d.kuva"), "forward");
  EXPECT_EQ(LoggedCommandLines(2).size(), 2u);

  EXPECT_FALSE(StartSession(Str(u"lost"), Str(U16(relative + L"\\missing\\c.kuva"))));
  EXPECT_FALSE(PathExists(scratch_ / L"missing"));
}

// The name is decoded exactly from modified UTF-8, as every path argument is:
// the file lands under the name the Java side gave, and the client is handed
// that name. Read in an ANSI code page, "é" would become two letters, and in
// a double-byte code page a lead byte could swallow the backslash after it.
TEST_F(SessionStartTest, NamesOutsideAsciiAreWrittenAndHandedOverExactly) {
  const std::wstring client = TestClientPath(L"varnel-10.1-build1238");
  ScopedAssociation association = ScopedAssociation::ToProgram(client);
  const std::wstring scratchName = scratch_.path().substr(TempFolder().size());
  ASSERT_TRUE(CreateFolders(scratch_ / L"\u65e5\u672c"));
  struct Row {
    const char* name;
    std::u16string fileName;
    std::wstring written;  // below the temporary folder
  };
  const Row rows[] = {
      {"letters outside ASCII", u"s\u00e9ance-\u65e5\u672c.kuva", L"s\u00e9ance-\u65e5\u672c.kuva"},
      {"characters outside the BMP", u"\U0001F600-\U00020BB7.kuva", L"\U0001F600-\U00020BB7.kuva"},
      {"a subfolder whose name ends in a letter outside ASCII", U16(scratchName) + u"\\\u65e5\u672c\\c.kuva",
       scratchName + L"\\\u65e5\u672c\\c.kuva"},
  };
  std::size_t started = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::wstring file = TempFolder() + row.written;
    DeleteTree(file);
    ASSERT_TRUE(StartSession(Str(u"[exact]"), Str(row.fileName)));
    EXPECT_EQ(ReadFileBytes(file), std::optional<std::string>("[exact]"));
    const std::vector<std::string> lines = LoggedCommandLines(++started);
    ASSERT_EQ(lines.size(), started);
    EXPECT_EQ(lines.back(), Quoted(client) + " " + Quoted(file)) << "the client gets the same name";
    DeleteTree(file);
  }
}

TEST_F(SessionStartTest, NameWithUPlus0000IsRefusedWithNothingWritten) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  const std::wstring scratchName = scratch_.path().substr(TempFolder().size());
  // Java hands U+0000 over as the two bytes C0 80; the platform would read
  // the decoded name only up to it.
  const std::u16string names[] = {
      std::u16string(u"gantry-zero\0.kuva", 17),
      U16(scratchName) + std::u16string(u"\\a\0b.kuva", 9),
  };
  for (const std::u16string& name : names) {
    SCOPED_TRACE(Utf8(Wide(name)));
    const std::map<std::wstring, std::string> before = SnapshotTree(scratch_.path());
    EXPECT_FALSE(StartSession(Str(u"zero"), Str(name)));
    EXPECT_EQ(SnapshotTree(scratch_.path()), before);
  }
  EXPECT_FALSE(PathExists(TempFolder() + L"gantry-zero"));
  EXPECT_FALSE(PathExists(TempFolder() + L"gantry-zero\u00c0\u20ac.kuva")) << "C0 80 read in code page 1252";
  EXPECT_TRUE(ReadLogLines(logPath_, 1, 2000).empty()) << "no client started";
}

TEST_F(SessionStartTest, NamesThatWouldLeaveTheTemporaryFolderAreRefused) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  const std::wstring target = scratch_ / L"target.bat";
  const std::wstring scratchName = scratch_.path().substr(TempFolder().size());
  const std::wstring tooLong(MAX_PATH - TempFolder().size(), L'n');  // one unit too many with the terminator
  const std::wstring fitsExactly(MAX_PATH - 1 - TempFolder().size(), L'n');
  struct Row {
    const char* name;
    std::wstring fileName;
  };
  const Row rows[] = {
      {"empty", L""},
      {"climbs out with ..", L"..\\..\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\x.bat"},
      {"climbs out and back in", scratchName + L"\\..\\" + scratchName + L"\\target.bat"},
      {".. with forward slashes", L"../x.bat"},
      {".. at the end", scratchName + L"\\.."},
      {"dots and blanks trimmed to ..", scratchName + L"\\.. \\x.bat"},
      {"three dots", L"...\\x.bat"},
      {"absolute with drive", target},
      {"drive-relative", L"C:x.bat"},
      {"rooted", L"\\x.bat"},
      {"rooted with a slash", L"/x.bat"},
      {"UNC", L"\\\\server\\share\\x.bat"},
      {"long-path prefix", L"\\\\?\\" + target},
      {"alternate data stream", scratchName + L"\\target.bat:hidden"},
      {"device name", L"CON"},
      {"device name with extension", L"nul.kuva"},
      {"folder only", scratchName + L"\\"},
      {"too long for a 260-unit path", tooLong},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::map<std::wstring, std::string> tempBefore = SnapshotTree(scratch_.path());
    EXPECT_FALSE(StartSession(Str(u"@echo owned"), Str(U16(row.fileName))));
    EXPECT_EQ(SnapshotTree(scratch_.path()), tempBefore);
  }
  EXPECT_FALSE(PathExists(target));
  EXPECT_FALSE(PathExists(AppDataFolder() + L"\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\x.bat"));
  EXPECT_FALSE(PathExists(TempFolder() + tooLong));
  EXPECT_TRUE(ReadLogLines(logPath_, 1, 2000).empty()) << "no client started";

  // A name that just fits is written.
  ASSERT_TRUE(StartSession(Str(u"fits"), Str(U16(fitsExactly))));
  EXPECT_EQ(ReadFileBytes(TempFolder() + fitsExactly), "fits");
  DeleteTree(TempFolder() + fitsExactly);
}

TEST_F(SessionStartTest, DeletedAssociatedProgramGivesFalseWithTheFileWritten) {
  const std::wstring program = scratch_ / L"Varnel.exe";
  ASSERT_TRUE(CopyFileW(TestClientPath(L"varnel-10.1-build1238").c_str(), program.c_str(), FALSE));
  ScopedAssociation association = ScopedAssociation::ToProgram(program);
  ASSERT_TRUE(DeleteFileW(program.c_str()));
  const std::wstring file = TempFolder() + L"gantry-deleted.kuva";
  EXPECT_FALSE(StartSession(Str(u"still written"), Str(u"gantry-deleted.kuva")));
  EXPECT_EQ(ReadFileBytes(file), "still written");
  DeleteTree(file);
}

TEST_F(SessionStartTest, BlanksInTheClientPathAndTemporaryFolderStayOneArgumentEach) {
  // A client below a folder with a blank, and a decoy where an unquoted
  // command line would look first.
  const std::wstring clientFolder = scratch_ / L"Program Files\\Kuv";
  ASSERT_TRUE(CreateFolders(clientFolder));
  const std::wstring client = clientFolder + L"\\Varnel.exe";
  ASSERT_TRUE(CopyFileW(TestClientPath(L"varnel-10.1-build1238").c_str(), client.c_str(), FALSE));
  const std::wstring decoy = scratch_ / L"Program.exe";
  ASSERT_TRUE(CopyFileW(TestClientPath(L"varnel-10.1-build1237").c_str(), decoy.c_str(), FALSE));
  ScopedAssociation association = ScopedAssociation::ToProgram(client);
  const std::wstring programLog = scratch_ / L"programs.log";
  ScopedEnvironment moduleLog(L"GANTRY_CLIENT_MODULE_LOG", programLog);

  const std::wstring temporary = scratch_ / L"Test User\\AppData\\Local\\Temp\\";
  ASSERT_TRUE(CreateFolders(temporary));
  ScopedEnvironment tmp(L"TMP", temporary);
  ScopedEnvironment temp(L"TEMP", temporary);
  ASSERT_EQ(TempFolder(), temporary);

  ASSERT_TRUE(StartSession(Str(u"blank"), Str(u"session.kuva")));
  EXPECT_EQ(ReadFileBytes(temporary + L"session.kuva"), "blank");
  const std::vector<std::string> lines = LoggedCommandLines(1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], Quoted(client) + " " + Quoted(temporary + L"session.kuva"));
  EXPECT_EQ(ReadLogLines(programLog, 1, 15000), (std::vector<std::string>{Utf8(client)})) << "not the decoy";
  // The client itself sees exactly one argument: the connection file.
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(FromUtf8(lines[0]).c_str(), &argc);
  ASSERT_NE(argv, nullptr);
  EXPECT_EQ(argc, 2);
  if (argc == 2) {
    EXPECT_EQ(std::wstring(argv[1]), temporary + L"session.kuva");
  }
  LocalFree(argv);
}

TEST_F(SessionStartTest, NullStringsGiveFalseAndAreNotWritten) {
  ScopedAssociation association = ScopedAssociation::ToProgram(TestClientPath(L"varnel-10.1-build1238"));
  EXPECT_FALSE(StartSession(nullptr, Str(u"gantry-null.kuva")));
  EXPECT_FALSE(StartSession(Str(u"text"), nullptr));
  EXPECT_FALSE(PathExists(TempFolder() + L"gantry-null.kuva"));
}

}  // namespace
}  // namespace gantry::testing
