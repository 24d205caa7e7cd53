#include "link/ini_file.h"

#include <gmock/gmock.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace kv::test {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("KV26.INI");
};

struct LookupCase {
  const char* name;
  const char* file;
  const char* section;
  const char* key;
  const char* expected;  // with default "DEF"
};

class IniLookupTest : public IniFileTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(IniLookupTest, FindsTheValueOrGivesTheDefault) {
  WriteBytes(ini_, GetParam().file);
  EXPECT_EQ(ReadIniValue(ini_, GetParam().section, GetParam().key, "DEF"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, IniLookupTest,
    ::testing::Values(
        LookupCase{"SectionAndKeyIgnoreCase", "[LOAD option]\r\nbaudrate=9600\r\n", "Load Option",
                   "BaudRate", "9600"},
        LookupCase{"BlanksAroundNamesAndValues",
                   "  [  Load Option ]  \r\n  BaudRate   =   9600  \r\n", "Load Option", "BaudRate",
                   "9600"},
        LookupCase{"BlanksInsideValueStay", "[A]\r\nk=  two  words \r\n", "A", "k", "two  words"},
        LookupCase{"EmptyValueIsEmptyNotDefault", "[A]\r\nk=\r\n", "A", "k", ""},
        LookupCase{"MissingKey", "[A]\r\nother=1\r\n", "A", "k", "DEF"},
        LookupCase{"MissingSection", "[B]\r\nk=1\r\n", "A", "k", "DEF"},
        LookupCase{"KeyOfAnotherSectionIsNotTaken", "[A]\r\n[B]\r\nk=1\r\n", "A", "k", "DEF"},
        LookupCase{"KeyBeforeAnySectionIsNotTaken", "k=1\r\n[A]\r\n", "A", "k", "DEF"},
        LookupCase{"FirstOfTwoKeysWins", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "1"},
        LookupCase{"EqualsSignInValue", "[A]\r\nk=a=b\r\n", "A", "k", "a=b"},
        LookupCase{"LfOnlyFile", "[A]\nk=lf\n", "A", "k", "lf"},
        LookupCase{"NoNewlineAtEnd", "[A]\r\nk=last", "A", "k", "last"},
        LookupCase{"QuotesAroundValueDropped", "[A]\r\nk=\"quoted\"\r\n", "A", "k", "quoted"},
        LookupCase{"CommentLineIsNoKey", "[A]\r\n;k=commented\r\n", "A", "k", "DEF"},
        LookupCase{"ByteOrderMarkBeforeFirstSection", "\xEF\xBB\xBF[A]\r\nk=1\r\n", "A", "k", "1"},
        LookupCase{"BytesNotReencoded", "[A]\r\nk=C:\\M\xFC\x6Cler\\a.tsf\r\n", "A", "k",
                   "C:\\M\xFC\x6Cler\\a.tsf"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(IniFileTest, MissingFileGivesTheDefault) {
  EXPECT_EQ(ReadIniValue(ini_, "Load Option", "BaudRate", "115200"), "115200");
  EXPECT_FALSE(std::filesystem::exists(ini_));
}

TEST_F(IniFileTest, LongValueIsCutTo254Characters) {
  const std::string value(300, 'v');
  WriteBytes(ini_, "[A]\r\nk=" + value + "\r\n");
  EXPECT_EQ(ReadIniValue(ini_, "A", "k", ""), value.substr(0, 254));
}

TEST_F(IniFileTest, FirstWriteCreatesAMissingFolder) {
  const std::string nested = folder_.File("config/kvload/KV26.INI");
  ASSERT_TRUE(WriteIniValue(nested, "A", "k", "1"));
  EXPECT_EQ(ReadIniValue(nested, "A", "k", ""), "1");
}

TEST_F(IniFileTest, WriteChangesOnlyItsKeyAndKeepsEverythingElse) {
  WriteBytes(ini_, Golden("link/edit_before.INI"));
  ASSERT_TRUE(WriteIniValue(ini_, "Load Option", "BaudRate", "38400"));
  ASSERT_TRUE(WriteIniValue(ini_, "Load Option", "LanPort", "5025"));
  ASSERT_TRUE(WriteIniValue(ini_, "New Section", "Key", "v"));
  EXPECT_EQ(ReadBytes(ini_), Golden("link/edit_after.INI"));
}

TEST_F(IniFileTest, SeveralKeysGoInOneWriteInTheirOrder) {
  ASSERT_TRUE(WriteIniValues(ini_, "S", {{"b", "2"}, {"a", "1"}, {"c", ""}}));
  EXPECT_EQ(ReadBytes(ini_), "[S]\r\nb=2\r\na=1\r\nc=\r\n");
  EXPECT_EQ(ReadIniValue(ini_, "S", "c", "DEF"), "");
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

TEST_F(IniFileTest, WriteWhereNoFileCanBeMadeReportsFailure) {
  WriteBytes(folder_.File("blocker"), "a file where a folder should be");
  EXPECT_FALSE(WriteIniValue(folder_.File("blocker/KV26.INI"), "A", "k", "1"));
}

}  // namespace
}  // namespace kv::test
