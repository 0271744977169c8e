#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "replies/uujoin.h"

// Decoding replies kept as saved mail: mbox files, Maildir folders, single
// mails (.eml) and plain texts holding UU blocks. MIME attachments are saved
// as each mail is read; UU parts are collected from every input and put
// together at the end, so the parts of one file may sit in different mails,
// files and folders, in any order.

// What became of one file.
struct TDecodedFile {
    std::string name;   // the file's own name, or where a failure happened
    TUUStatus status = TUUStatus::Failed;
    std::string path;   // where it was saved (complete files only)
    std::string detail; // what is missing or went wrong
};

// Writes data into folder under name, or, when a file of that name exists,
// under "name (1).ext", "name (2).ext"...: a file already there is never
// replaced. The data goes to a temporary file first, which only takes the
// final name once it is whole. Returns the path written; raises EInOutError.
std::string SaveNewFile(const std::string& folder, const std::string& name, const std::vector<std::string_view>& chunks);

// "name (n).ext" for a name ("name (n)" without an extension).
std::string NumberedName(const std::string& name, int n);

class TSavedMailDecoder {
public:
    // folder: where decoded files go; made when missing.
    explicit TSavedMailDecoder(std::string folder);

    // A file or a folder (Maildir, or a folder of saved mails). A path that
    // cannot be read is a failed entry, and reading goes on.
    void AddPath(const std::string& path);
    // One mail's text (headers, empty line, body), or a text without headers.
    void AddMail(std::string_view mail, const std::string& origin);
    // Joins the UU parts found, saves the complete files and returns every
    // result in the order found. Incomplete files are not written at all.
    std::vector<TDecodedFile> Finish();

private:
    void AddFile(const std::string& path);
    void AddMbox(int fd, const std::string& path);
    void AddMimeMail(std::string_view mail, const std::string& subject, const std::string& origin);
    void Saved(const std::string& name, const std::vector<std::string_view>& chunks);
    void Failed(const std::string& where, const std::string& why);
    // Writes a piece that continues a file in order straight to that file's
    // spill file, so a long mailbox in order is never held in memory.
    void Spill(TUUPiece& piece);
    bool OpenSpill(const std::string& key, int next);
    // The complete file written under a free name; its path.
    std::string WriteJoined(const TUUFile& file);

    // A file being written as its parts arrive, in order.
    struct TSpillFile {
        std::string temp;
        int fd = -1;
        size_t size = 0;
        int next = 0;        // the part number it takes next (0: unnumbered)
        bool open = true;    // still taking parts
        bool claimed = false; // renamed to its final name
    };

    std::string folder_;
    std::vector<TUUPiece> pieces_;
    std::vector<TDecodedFile> results_;
    std::vector<TSpillFile> spills_;
    std::map<std::string, size_t> openSpill_; // Subject key (and total) -> spill
};

// The line printed for a result: "NAME: complete, saved as PATH",
// "NAME: incomplete, missing part 2 of 5 (nothing written)",
// "NAME: failed: REASON (nothing written)".
std::string DescribeResult(const TDecodedFile& result);

// tolvar decode [-o DIR] FILE|FOLDER... : exit 0 when every file is complete,
// 1 when any is incomplete or failed (or none was found), 2 for usage errors.
int RunDecodeCommand(const std::vector<std::string>& args);
