#pragma once
#include <map>
#include <string>
#include <vector>

#include "replies/uujoin.h"
#include "ui/controls.h"

// The UUDecoder wizard: the parts of a UUencoded reply are copied to the
// clipboard one by one; each part's data is taken from the mail text around
// it as it comes, and once every part is there the file is checked and
// written into LocalRoot() + "downloads". Saved mails can be dropped on it or
// opened with "Open files…" instead.
class TfrmDecode : public TForm {
public:
    TfrmDecode();
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
    TButton btnOpen{"btnOpen", "&Open files\u2026"};
    TButton btnNext{"btnNext", "&Next >>"};
    TButton btnCancel{"btnCancel", "&Cancel"};

    void FormCreate();
    void btnHelpClick();
    void btnOpenClick();
    void btnNextClick();
    void btnCancelClick();
    // Saved mails dropped on the window, or picked with btnOpen: every file
    // in them is decoded, one box per file.
    void FormDropFiles(const std::vector<std::string>& paths);

    // The rest of the line that starts with name (any letter case) in a
    // pasted mail, at most 1024 characters; "" when no line starts so.
    static std::string GetHeaderValue(const std::string& name, const std::string& text);
    // The integer between the first opening and the closing after it; 0 when
    // either is missing or the text between is no integer.
    static int NumberBetween(const std::string& text, const std::string& opening, const std::string& closing);
    // The part number a subject names: (n/m), (part n of m), [n of m], the
    // last of these forms winning; without them any form ParsePartNumber
    // reads. 0 when there is none.
    static int PartNumberOf(const std::string& subject);
    // mrOk when the subject names no part or the expected one; otherwise the
    // user's answer to the warning (mrRetry or mrIgnore).
    int CheckPartNumber(const std::string& subject);
    // "Part N" on the label, and an empty clipboard for the next copy.
    void ShowExpectedPart();

    int ExpectedPart = 1;
    // The data of the parts taken so far, by part number.
    std::map<int, std::vector<TUUPiece>> Parts;

private:
    void TakeClipboard(const std::string& clip, const std::string& subject, int answer);
    bool TakePart(int number, std::vector<TUUPiece> pieces, int total);
    void DecodeWholeFiles(const std::vector<TUUPiece>& pieces);
    void JoinWhenComplete();
    bool SaveFile(const TUUFile& file);
    void StartOver();

    // The number of parts when known: from a Subject, or the part that ends
    // the file; 0 before that.
    int total_ = 0;
    bool totalFromSubject_ = false;
};

// LocalRoot() + "uudecoder.tmp" and LocalRoot() + "downloads".
std::string DecoderScratchFile();
std::string DownloadsFolder();
