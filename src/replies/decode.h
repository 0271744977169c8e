#pragma once
#include <string>
#include <vector>

#include "mail/msmsg.h"
#include "ui/controls.h"

// The UUDecoder wizard: the parts of a UUencoded reply are copied to the
// clipboard one by one; the last one joins them, drops the mail text around
// the data and decodes the files into LocalRoot() + "downloads".
class TfrmDecode : public TForm {
public:
    // message: the main window's message, used to decode and emptied after.
    explicit TfrmDecode(TmsMessage& message);
    ~TfrmDecode() override;
    std::string ClassName() const override { return "TfrmDecode"; }

    static constexpr int kWidth = 409;
    static constexpr int kHeight = 161;
    static constexpr int kHelpContext = 21;

    TLabel UseYourOwnMailer{"UseYourOwnMailer",
                            "Use this tool to unscramble UUencoded files received from \"Bymail\" servers. Tip: Many "
                            "e-mail programs have their own tools"};
    TLabel lblPart{"lblPart"};
    TLabel lblInstruct{"lblInstruct",
                       "Please place the part referenced above into the Windows Clipboard. In most e-mail prograns, "
                       "the sequence  Right-click, Select All, Right-click, Copy will be needed."};
    TButton btnHelp{"btnHelp", "&Help"};
    TButton btnNext{"btnNext", "&Next >>"};
    TButton btnCancel{"btnCancel", "&Cancel"};

    void FormCreate();
    void btnHelpClick();
    void btnNextClick();
    void btnCancelClick();

    // The rest of the line that starts with name (any letter case) in a
    // pasted mail, at most 1024 characters; "" when no line starts so.
    static std::string GetHeaderValue(const std::string& name, const std::string& text);
    // The integer between the first opening and the closing after it; 0 when
    // either is missing or the text between is no integer.
    static int NumberBetween(const std::string& text, const std::string& opening, const std::string& closing);
    // mrOk when the subject names no part or the expected one; otherwise the
    // user's answer to the warning (mrRetry or mrIgnore).
    int CheckPartNumber(const std::string& subject);
    // "Part N" on the label, and an empty clipboard for the next copy.
    void ShowExpectedPart();
    // Loads the scratch file into the message and saves every file in it.
    void DecodeScratchFile();

    int ExpectedPart = 1;
    std::vector<std::string> PartLines;

private:
    void TakeFirstPart(const std::string& clip);
    void TakeLaterPart(const std::string& clip);
    void CleanPartLines();
    void WriteAndDecode();

    TmsMessage& message_;
};

// LocalRoot() + "uudecoder.tmp" and LocalRoot() + "downloads".
std::string DecoderScratchFile();
std::string DownloadsFolder();
