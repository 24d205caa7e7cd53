// KV26.INI: where it lives, and how it is read and written.
#include "link/ini_file.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <optional>

#include "link/ini_location.h"
#include "support/platform.h"
#include "support/temp_folder.h"

namespace kv::test {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("KV26.INI");
};

TEST_F(IniFileTest, LookupFindsTheValueOrGivesTheDefault) {
  struct Case {
    const char* name;
    std::optional<std::string> file;  // none: no file at all
    std::string expected;             // with default "DEF"
  };
  const std::string longValue(300, 'v');
  const Case cases[] = {
      {"SectionAndKeyIgnoreCase", "[a B]\r\nK=9600\r\n", "9600"},
      {"BlanksAroundNamesAndValues", "  [  A b ]  \r\n  k   =   9600  \r\n", "9600"},
      {"BlanksInsideValueStay", "[A b]\r\nk=  two  words \r\n", "two  words"},
      {"EmptyValueIsEmptyNotDefault", "[A b]\r\nk=\r\n", ""},
      {"MissingFile", std::nullopt, "DEF"},
      {"MissingKey", "[A b]\r\nother=1\r\n", "DEF"},
      {"MissingSection", "[B]\r\nk=1\r\n", "DEF"},
      {"KeyOfAnotherSectionIsNotTaken", "[A b]\r\n[B]\r\nk=1\r\n", "DEF"},
      {"KeyBeforeAnySectionIsNotTaken", "k=1\r\n[A b]\r\n", "DEF"},
      {"FirstOfTwoKeysWins", "[A b]\r\nk=1\r\nk=2\r\n", "1"},
      {"EqualsSignInValue", "[A b]\r\nk=a=b\r\n", "a=b"},
      {"LfOnlyFile", "[A b]\nk=lf\n", "lf"},
      {"NoNewlineAtEnd", "[A b]\r\nk=last", "last"},
      {"QuotesAroundValueDropped", "[A b]\r\nk=\"quoted\"\r\n", "quoted"},
      {"CommentLineIsNoKey", "[A b]\r\n;k=commented\r\n", "DEF"},
      {"ByteOrderMarkBeforeFirstSection", "\xEF\xBB\xBF[A b]\r\nk=1\r\n", "1"},
      {"BytesNotReencoded", "[A b]\r\nk=C:\\M\xFC\x6Cler\\a.tsf\r\n", "C:\\M\xFC\x6Cler\\a.tsf"},
      {"LongValueIsCutTo254Characters", "[A b]\r\nk=" + longValue + "\r\n",
       longValue.substr(0, 254)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(ini_);
    if (c.file) {
      WriteBytes(ini_, *c.file);
    }
    EXPECT_EQ(ReadIniValue(ini_, "A b", "k", "DEF"), c.expected);
    EXPECT_EQ(std::filesystem::exists(ini_), c.file.has_value());
  }
}

TEST_F(IniFileTest, WriteChangesOnlyItsKeyAndKeepsEverythingElse) {
  WriteBytes(ini_, Golden("link/edit_before.INI"));
  ASSERT_TRUE(WriteIniValue(ini_, "Load Option", "BaudRate", "38400"));
  ASSERT_TRUE(WriteIniValue(ini_, "Load Option", "LanPort", "5025"));
  ASSERT_TRUE(WriteIniValue(ini_, "New Section", "Key", "v"));
  EXPECT_EQ(ReadBytes(ini_), Golden("link/edit_after.INI"));
}

TEST_F(IniFileTest, WriteCreatesAMissingFolderOrReportsThatItCannot) {
  const std::string nested = folder_.File("config/kvload/KV26.INI");
  ASSERT_TRUE(WriteIniValue(nested, "A", "k", "1"));
  EXPECT_EQ(ReadIniValue(nested, "A", "k", ""), "1");
  WriteBytes(folder_.File("blocker"), "a file where a folder should be");
  EXPECT_FALSE(WriteIniValue(folder_.File("blocker/KV26.INI"), "A", "k", "1"));
}

TEST_F(IniFileTest, LineBreaksInNamesOrValuesAreRefusedAndTheFileStaysAsItWas) {
  const std::string before = Golden("link/windows.INI");
  WriteBytes(ini_, before);
  EXPECT_FALSE(WriteIniValue(ini_, "Load Option", "DefaultPath", "x\r\n[Evil]\r\na=b"));
  EXPECT_FALSE(WriteIniValue(ini_, "Load Option", "Bad\nKey", "1"));
  EXPECT_FALSE(WriteIniValue(ini_, "Bad]Section", "k", "1"));
  EXPECT_FALSE(WriteIniValue(ini_, "Load Option", "a=b", "1"));
  EXPECT_FALSE(WriteIniValues(ini_, "Load Option", {{"ok", "1"}, {"bad", "\n"}}));
  EXPECT_EQ(ReadBytes(ini_), before);
}

TEST(IniLocation, ChoosesTheProgramFolderWhenUsable) {
  struct Case {
    bool hasIni;
    bool writable;
    std::string userConfig;
    std::string expected;
  };
  // Qt names folders with "/" on Windows too; the file's name is native.
  const std::string program = kWindows ? "C:\\Program Files\\kvload" : "/opt/kvload/bin";
  const std::string user =
      kWindows ? "C:/Users/op/AppData/Local/kvload" : "/home/op/.config/kvload";
  const std::string beside =
      kWindows ? "C:\\Program Files\\kvload\\KV26.INI" : "/opt/kvload/bin/KV26.INI";
  const std::string inUser = kWindows ? "C:\\Users\\op\\AppData\\Local\\kvload\\KV26.INI"
                                      : "/home/op/.config/kvload/KV26.INI";
  const Case cases[] = {
      {false, true, user, beside},   // the build tree
      {true, false, user, beside},   // an existing file in a read-only folder
      {false, false, user, inUser},  // an installed program
      {false, false, "", beside},    // no user folder known
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IniFilePath({program, c.hasIni, c.writable, c.userConfig}), c.expected)
        << c.hasIni << c.writable << c.userConfig;
  }
}

}  // namespace
}  // namespace kv::test
