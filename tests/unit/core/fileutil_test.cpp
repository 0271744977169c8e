#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.h"
#include "core/exception.h"
#include "core/fileutil.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"

TEST(TrimFileToSize, KeepsTheLastNPlusOneBytes)
{
    TTempDir dir;
    struct Case {
        size_t length;
        size_t expected;
        bool rewritten;
    } cases[] = {{20000, 20000, false}, {20001, 20001, true}, {50000, 20001, true}, {10, 10, false}};
    for (const auto& c : cases) {
        std::string content;
        for (size_t i = 0; i < c.length; ++i) content += static_cast<char>('a' + i % 26);
        dir.Write("log", content);
        struct stat before{};
        ::stat(dir.File("log").c_str(), &before);
        TrimFileToSize(dir.File("log"), 20000);
        std::string after = dir.Read("log");
        EXPECT_EQ(after.size(), c.expected) << c.length;
        EXPECT_EQ(after, content.substr(content.size() - c.expected)) << c.length;
    }
}

TEST(TrimFileToSize, MissingFileDoesNothing)
{
    TTempDir dir;
    TrimFileToSize(dir.File("none"), 10);
    TrimFileToSizeCosmetic(dir.File("none"), 10);
    EXPECT_FALSE(FileExists(dir.File("none")));
}

TEST(ReadFileString, MissingIsEmptyOtherFailuresRaise)
{
    TTempDir dir;
    EXPECT_EQ(ReadFileString(dir.File("none")), "");
    dir.Write("bin", std::string("a\0b\r\nc", 6));
    EXPECT_EQ(ReadFileString(dir.File("bin")), std::string("a\0b\r\nc", 6));
    // A folder where a file is expected cannot be read as one.
    EXPECT_THROW(ReadFileString(dir.Path()), EInOutError);
}

TEST(WriteFileString, FailureIsReportedNotRaised)
{
    TTempRoot root;
    ScriptedDesktop desk;
    std::string reported;
    SetErrorBox([&](const std::string& text, int, bool) { reported = text; });
    Checkpoint = 1101;
    std::string path = root.File("no-such-folder/TOLVAR.INI");
    EXPECT_NO_THROW(WriteFileString(path, "x"));
    EXPECT_EQ(reported, "Error in WriteFileString-1: " + path + ".1101 with No such file or directory");
    EXPECT_NE(root.Read("DebugLog.Txt").find(reported + "\r\n"), std::string::npos);
    SetErrorBox(nullptr);
    Checkpoint = 0;
}

TEST(WriteFileString, WritesExactlyWithoutLineEnd)
{
    TTempDir dir;
    dir.Write("f", "old much longer content");
    WriteFileString(dir.File("f"), "new");
    EXPECT_EQ(dir.Read("f"), "new");
}

TEST(ReplaceFileContents, ALinkStaysALinkToTheNewContents)
{
    TTempDir dir;
    dir.Write("settings", "old");
    ASSERT_EQ(::symlink(dir.File("settings").c_str(), dir.File("link").c_str()), 0);
    ReplaceFileContents(dir.File("link"), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
    EXPECT_EQ(dir.Read("settings"), "new");
}
