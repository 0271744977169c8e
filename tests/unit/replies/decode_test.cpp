#include <gtest/gtest.h>

#include <filesystem>

#include "core/deblog.h"
#include "core/fileutil.h"
#include "mail/uucode.h"
#include "replies/decode.h"
#include "support/scripteddesktop.h"
#include "support/tempdir.h"
#include "ui/application.h"

namespace {

std::string Bytes(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>((i * 31 + 7) & 0xFF);
    return s;
}

// The UU data lines of data, without line ends.
std::vector<std::string> UULines(const std::string& data)
{
    std::string text;
    UUEncodeLines(data, text);
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines, size_t from, size_t to, const std::string& eol)
{
    std::string text;
    for (size_t i = from; i < to && i < lines.size(); ++i) text += lines[i] + eol;
    return text;
}

std::string Mail(const std::string& subject, const std::string& body, const std::string& eol = "\r\n")
{
    return "From: robot@bymail.example" + eol + "Subject: " + subject + eol + "Date: today" + eol + eol +
           "Here is your file." + eol + eol + body + eol + "-- " + eol + "The ByMail robot" + eol;
}

struct Wizard : ::testing::Test {
    TTempRoot root;
    ScriptedDesktop desk;

    // Opens the wizard as the main window does and copies each text in turn
    // before pressing Next; the result of the modal window.
    int Run(const std::vector<std::string>& parts)
    {
        TfrmDecode form;
        EXPECT_TRUE(desk.clipboardEmptied);
        EXPECT_EQ(form.lblPart.Caption(), "Part 1");
        desk.OnShowModal = [&](TForm&) {
            for (const auto& part : parts) {
                desk.CopyToClipboard(part);
                form.btnNext.Click();
            }
            finalLabel = form.lblPart.Caption();
            return form.Visible() ? mrCancel : form.ModalResult();
        };
        return form.ShowModal();
    }
    std::string finalLabel;
};

} // namespace

TEST_F(Wizard, ThreePartsWithMailTextAroundThemDecodeToTheExactBytes)
{
    const std::string data = Bytes(600);
    std::vector<std::string> uu = UULines(data);
    ASSERT_EQ(uu.size(), 14u);
    std::vector<std::string> parts = {
        Mail("file.zip (part 1 of 3)", "begin 0600 file.zip\r\n" + Join(uu, 0, 5, "\r\n")),
        // A mail program that puts bare line feeds on the clipboard.
        Mail("file.zip (part 2 of 3)", Join(uu, 5, 10, "\n"), "\n"),
        Mail("file.zip (part 3 of 3)", Join(uu, 10, 14, "\r\n") + "`\r\nend\r\nsize 600"),
    };
    desk.ExpectDialog("Decoded\r\n\n" + root.Path() + "downloads/file.zip");
    EXPECT_EQ(Run(parts), mrCancel);
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/file.zip"), data);
    EXPECT_FALSE(FileExists(root.Path() + "uudecoder.tmp"));
    EXPECT_EQ(desk.ClipboardText(), "");
}

TEST_F(Wizard, OneMailHoldingTheWholeFileDecodesAtOnce)
{
    const std::string data = Bytes(100);
    std::vector<std::string> uu = UULines(data);
    desk.ExpectDialog(root.Path() + "downloads/att.0");
    desk.ExpectDialog(root.Path() + "downloads/b.txt");
    Run({Mail("Your file [1 of 1]", "BEGIN 644\r\n" + Join(uu, 0, uu.size(), "\r\n") + "`\r\nend\r\n\r\nbegin 644 b.txt\r\n#0V%T\r\n \r\nend")});
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/att.0"), data);
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/b.txt"), "Cat");
    EXPECT_EQ(finalLabel, "Part 1");
}

TEST_F(Wizard, WrongOrBadPartsLeaveTheWizardWaiting)
{
    std::vector<std::string> uu = UULines(Bytes(200));
    const std::string part1 = Mail("f (part 1 of 2)", "begin 600 f\r\n" + Join(uu, 0, 2, "\r\n"));
    const std::string part2 = Mail("f (part 2 of 2)", Join(uu, 2, uu.size(), "\r\n") + "`\r\nend");
    desk.ExpectDialog("Bad first part", mrCancel);
    desk.ExpectDialog("Expecting part 1 but found:\r\n\nf (part 2 of 2)\r\n\nThis is probably incorrect", mrRetry);
    desk.ExpectDialog("Expecting part 2 but found:\r\n\nf (part 1 of 2)", mrRetry);
    TfrmDecode form;
    for (const std::string& text : {Mail("no data", "just text"), part2}) {
        desk.CopyToClipboard(text);
        form.btnNext.Click();
        EXPECT_EQ(form.ExpectedPart, 1);
    }
    // Retry keeps the clipboard so the user can copy the right mail.
    EXPECT_EQ(desk.ClipboardText(), part2);
    desk.CopyToClipboard(part1);
    form.btnNext.Click();
    EXPECT_EQ(form.lblPart.Caption(), "Part 2");
    desk.CopyToClipboard(part1);
    form.btnNext.Click();
    EXPECT_EQ(form.ExpectedPart, 2);
    // An end line in capitals ends the file too.
    desk.ExpectDialog("Decoded\r\n\n" + root.Path() + "downloads/f");
    desk.CopyToClipboard(Mail("f", Join(uu, 2, uu.size(), "\r\n") + "`\r\nEND"));
    form.btnNext.Click();
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/f"), Bytes(200));
    // A damaged data line: said so, with where, and the part is not taken.
    std::string damaged = part1;
    damaged[damaged.find("begin 600 f\r\n") + 15] = 'x';
    desk.ExpectDialog("Part 1 could not be read\r\n\nInvalid Character in line 8");
    desk.CopyToClipboard(damaged);
    form.btnNext.Click();
    EXPECT_EQ(form.ExpectedPart, 1);
    EXPECT_EQ(desk.PendingExpectations(), 0);
}

TEST_F(Wizard, SaveFailureDropsTheJoin)
{
    // A file where the downloads folder should be: nothing can be saved.
    WriteFileString(root.Path() + "downloads", "x");
    std::string error;
    SetExceptionHandler([&](const TComponent&, const std::exception& e) { error = e.what(); });
    TfrmDecode form;
    desk.CopyToClipboard("begin 600 f\r\n#0V%T\r\n`\r\nend\r\n");
    RunGuarded(form.btnNext, [&] { form.btnNext.Click(); });
    SetExceptionHandler(nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(form.Parts.empty());
    EXPECT_EQ(form.lblPart.Caption(), "Part 1");
}

TEST(TfrmDecode, PartNumbersInSubjects)
{
    struct Case {
        std::string subject;
        int number;
    } cases[] = {
        {"file.zip (2/5)", 2},     {"file.zip (part 3 of 5)", 3}, {"x (2/9) [4 of 9]", 4},
        {"x (part 3 of 9) (2/9)", 3}, {"no number", 0},          {"(part x of 2)", 0},
        {"( 7 /8)", 7},            {"(99999999999/2)", 0},
    };
    ScriptedDesktop desk;
    TTempRoot root;
    TfrmDecode form;
    for (const auto& c : cases) {
        form.ExpectedPart = c.number == 0 ? 1 : c.number;
        EXPECT_EQ(form.CheckPartNumber(c.subject), mrOk) << c.subject;
        form.ExpectedPart = c.number + 1;
        if (c.number != 0) desk.ExpectDialog("Expecting part " + std::to_string(c.number + 1), mrIgnore);
        EXPECT_EQ(form.CheckPartNumber(c.subject), c.number ? mrIgnore : mrOk) << c.subject;
    }
    EXPECT_EQ(TfrmDecode::GetHeaderValue("Subject: ", "subject: first line\r\nb"), "first line");
    EXPECT_EQ(TfrmDecode::GetHeaderValue("Subject: ", "X-Subject: no\r\nSUBJECT: Yes \r\n"), "Yes ");
    EXPECT_EQ(TfrmDecode::GetHeaderValue("Subject: ", "Subjects: no"), "");
}

TEST_F(Wizard, PartMissingWithoutHeadersIsAskedForAndExistingFilesAreKept)
{
    std::string data = Bytes(45 * 9 + 10);
    // Zeros at a line's end are blanks, which a mail server stripped.
    data.replace(45 * 4 - 3, 3, std::string(3, '\0'));
    std::vector<std::string> uu = UULines(data);
    for (std::string& line : uu)
        while (line.back() == '`') line.back() = ' ', line.pop_back();
    const std::string part1 = "begin 644 f.bin\r\n" + Join(uu, 0, 4, "\r\n") + "-- \r\nrobot\r\n";
    const std::string part2 = "Here is more.\r\n" + Join(uu, 4, 8, "\r\n");
    const std::string part3 = Join(uu, 8, uu.size(), "\r\n") + "`\r\nend\r\nsize " + std::to_string(data.size()) + "\r\n";
    std::filesystem::create_directories(root.Path() + "downloads");
    WriteFileString(root.Path() + "downloads/f.bin", "older");

    TfrmDecode form;
    desk.ExpectDialog("Part 2 is missing");
    for (const std::string& part : {part1, part3}) {
        desk.CopyToClipboard(part);
        form.btnNext.Click();
    }
    // The size line shows the data is short: the part before the last is
    // asked for, and nothing is written meanwhile.
    ASSERT_EQ(desk.shown.size(), 1u);
    EXPECT_NE(desk.shown[0].text.find(std::to_string(45 * 5 + 10) + " of the " + std::to_string(data.size()) + " bytes"),
              std::string::npos);
    EXPECT_EQ(form.lblPart.Caption(), "Part 2");
    EXPECT_FALSE(FileExists(root.Path() + "downloads/f (1).bin"));

    desk.ExpectDialog("Decoded\r\n\n" + root.Path() + "downloads/f (1).bin");
    desk.CopyToClipboard(part2);
    form.btnNext.Click();
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/f (1).bin"), data);
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/f.bin"), "older");

    // The same file from a saved mail, picked with Open files.
    WriteFileString(root.Path() + "saved.eml", "Subject: f.bin\r\n\r\n" + part1 + part2 + part3);
    desk.filesToOpen = {root.Path() + "saved.eml"};
    desk.ExpectDialog("Decoded\r\n\n" + root.Path() + "downloads/f (2).bin");
    form.btnOpen.Click();
    EXPECT_EQ(ReadFileString(root.Path() + "downloads/f (2).bin"), data);
    EXPECT_EQ(desk.PendingExpectations(), 0);
}
