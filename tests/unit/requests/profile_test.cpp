#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "core/exception.h"
#include "core/profile.h"
#include "support/filesizelimit.h"
#include "support/tempdir.h"

TEST(Profile, ReadsValuesAsTheProfileFunctionsDo)
{
    struct Case {
        const char* file;
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"[General]\r\nEmail = me@x.example \r\n", "General", "Email", "me@x.example"},
        {"[general]\r\nEMAIL=a\r\n", "GENERAL", "email", "a"},
        {"[ General ]\r\nEmail=a\r\n", "General", "Email", "a"},
        {"[S]\r\nk=\"  quoted  \"\r\n", "S", "k", "  quoted  "},
        {"[S]\r\nk='x'\r\n", "S", "k", "x"},
        {"[S]\r\nk=\"half\r\n", "S", "k", "\"half"},
        {"[S]\r\nk=a=b\r\n", "S", "k", "a=b"},
        {"[S]\r\nk=\r\n", "S", "k", ""},             // present but empty: not the default
        {"[S]\r\nk=first\r\nk=second\r\n", "S", "k", "first"},
        {"[S]\r\nj=1\r\n[T]\r\n[S]\r\nk=later\r\n", "S", "k", "later"},
        {"k=outside\r\n[S]\r\n", "S", "k", "default"},
        {"[S]\r\n;k=comment\r\n", "S", "k", "default"},
        {"[S]\r\nk\r\n", "S", "k", "default"},
        {"[T]\r\nk=other\r\n", "S", "k", "default"},
        {"[S]\nk=lf\n", "S", "k", "lf"},
        {"[S]\rk=cr\r", "S", "k", "cr"},
        {"\xEF\xBB\xBF[S]\r\nk=bom\r\n", "S", "k", "bom"},
        {"[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        dir.Write("t.ini", c.file);
        EXPECT_EQ(TIniFile(dir.File("t.ini")).ReadString(c.section, c.key, "default"), c.expected) << c.file;
        // Read once for many keys, by the same rules.
        EXPECT_EQ(TMemIniFile(c.file).ReadString(c.section, c.key, "default"), c.expected) << c.file;
    }
    // Missing, and unreadable (a folder in its place): the default.
    EXPECT_EQ(TIniFile(dir.File("none.ini")).ReadString("S", "k", "d"), "d");
    EXPECT_EQ(TIniFile(dir.Path()).ReadInteger("S", "k", 7), 7);
}

TEST(Profile, IntegersAreTheLeadingDecimalOrHexadecimalNumber)
{
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"42", 42}, {"0x1F", 31}, {"0XfF", 255}, {"-5", -5}, {"+6", 6}, {"12abc", 12}, {"7 days", 7},
        {"0x", 0},  {"0xg", 0},   {"abc", -1},   {"", -1},   {"-", -1}, {"x12", -1},  {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ProfileStrToInt(c.text, -1), c.expected) << c.text;

    TTempDir dir;
    dir.Write("t.ini", "[S]\r\nhex=\"0x10\"\r\njunk=yes\r\nfive=5\r\nzero=0\r\n");
    TIniFile ini(dir.File("t.ini"));
    EXPECT_EQ(ini.ReadInteger("S", "hex", 0), 16);
    EXPECT_EQ(ini.ReadInteger("S", "junk", 3), 3);
    EXPECT_TRUE(ini.ReadBool("S", "five", false));
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "junk", true));
    EXPECT_FALSE(ini.ReadBool("S", "junk", false));
}

TEST(Profile, WritingChangesOneLineAndKeepsTheRest)
{
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } cases[] = {
        // A new file, a new section: CR LF lines.
        {nullptr, "General", "Email", "me@x.example", "[General]\r\nEmail=me@x.example\r\n"},
        {"; mine\n[General]\nemail = old\nOther=1\n", "General", "Email", "new",
         "; mine\n[General]\nEmail=new\nOther=1\n"},
        {"[General]\r\nA=1\r\n\r\n[Servers]\r\nB=2\r\n", "general", "C", "3",
         "[General]\r\nA=1\r\nC=3\r\n\r\n[Servers]\r\nB=2\r\n"},
        {"[General]\r\nA=1", "Servers", "SMTP", "mail.example", "[General]\r\nA=1\r\n[Servers]\r\nSMTP=mail.example\r\n"},
        {"[S]\r\nk=1\r\n[S]\r\nk=2\r\n", "S", "k", "9", "[S]\r\nk=9\r\n[S]\r\nk=2\r\n"},
        // A line break in a value must not open a line of its own.
        {"[S]\r\n", "S", "k", "a\r\n[T]\nb", "[S]\r\nk=a  [T] b\r\n"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        std::string path = dir.File("w.ini");
        std::remove(path.c_str());
        if (c.before) dir.Write("w.ini", c.before);
        TIniFile(path).WriteString(c.section, c.key, c.value);
        EXPECT_EQ(dir.Read("w.ini"), c.after) << (c.before ? c.before : "(no file)");
    }
    TIniFile ini(dir.File("n.ini"));
    ini.WriteInteger("S", "i", -12);
    ini.WriteBool("S", "b", true);
    EXPECT_EQ(dir.Read("n.ini"), "[S]\r\ni=-12\r\nb=1\r\n");
    // A file that cannot be read back is not replaced, nor one the disk has
    // no room to rewrite.
    EXPECT_THROW(TIniFile(dir.Path()).WriteString("S", "k", "v"), EInOutError);
    {
        TFileSizeLimit full(32);
        EXPECT_THROW(ini.WriteString("S", "long", std::string(64, 'v')), EInOutError);
    }
    EXPECT_EQ(dir.Read("n.ini"), "[S]\r\ni=-12\r\nb=1\r\n");
}

TEST(Profile, ListsSectionsAndKeysOnceInFileOrder)
{
    TTempDir dir;
    dir.Write("l.ini", "x=0\r\n[b]\r\nk1=1\r\n;c=2\r\n[A]\r\nK2=2\r\n[B]\r\nK1=3\r\nk3=4\r\n");
    TIniFile ini(dir.File("l.ini"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"b", "A"}));
    EXPECT_EQ(ini.ReadSection("B"), (std::vector<std::string>{"k1", "k3"}));
}

TEST(Profile, SettingsFileLivesInItsOwnConfigFolder)
{
    TTempDir config;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", (config.Path() + "new").c_str(), 1);
    EXPECT_EQ(SettingsIniPath(), config.Path() + "new/tolvar/TOLVAR.INI");
    TIniFile(SettingsIniPath()).WriteString("General", "Email", "a");   // the folder was made
    EXPECT_EQ(config.Read("new/tolvar/TOLVAR.INI"), "[General]\r\nEmail=a\r\n");
    old ? ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}
