#pragma once
#include <string>
#include <string_view>
#include <vector>

// Finding the parts of UUencoded files in mail texts and putting them
// together. A reply split over several mails arrives as pieces: each mail's
// run of data lines, with what the data tells of its place in the file (a
// begin line opens the file, only the last data line may be short, the end
// line closes it, a "size" line after it gives the length).

struct TUUPiece {
    std::string subject;   // the Subject seen before the data; "" when none
    std::string beginLine; // set when the piece opens a file
    std::string data;      // the decoded bytes
    size_t lines = 0;      // data lines
    bool endsShort = false; // its last data line holds fewer than 45 bytes
    bool hasEnd = false;    // the terminator or the end line closes it
    long long size = -1;    // the "size N" line after the end, when sent
    std::string origin;     // where it was found, for messages
    // Set when the data was written out early (data is then empty): the
    // spill file, where in it, and how many bytes.
    int spill = -1;
    size_t spillOffset = 0;
    size_t spilled = 0;

    size_t Bytes() const { return spilled + data.size(); }
};

// Every piece in text (one mail, a clipboard copy or a saved text), in
// order. A piece starts at a begin line or at a full data line (61
// characters, "M" first) and runs to the end line or the first line that is
// no data. A short line counts as the last data line only when the end
// follows it; a full line whose trailing blanks a transport stripped is
// completed with zero bits. subject is the Subject known before text; a
// "Subject:" line in text replaces it for the pieces after it. A broken data
// line inside the data raises ECodecError naming the line; output beyond
// kMaxMessageSize raises EMessageTooLarge.
std::vector<TUUPiece> ScanUUPieces(std::string_view text, const std::string& subject, const std::string& origin = {});

// The name a begin line carries ("begin 644 name", "begin 0600 \"two words\"").
std::string UUBeginName(const std::string& beginLine);

// A part number in a Subject: "(2/5)", "[2/5]", "part 2 of 5", "[2 of 5]",
// "2/5". Bracketed and "part" forms win over a bare "2/5"; the last of a kind
// wins. number is 0 when there is none. key is the Subject without the number
// (lower case, "Re:" and blanks folded) so the parts of one file match.
struct TPartNumber {
    int number = 0;
    int total = 0;
    std::string key;
};
TPartNumber ParsePartNumber(const std::string& subject);
// The Subject as parts of one file share it: lower case, "Re:"/"Fwd:"
// dropped, blanks folded.
std::string SubjectKey(const std::string& subject);

enum class TUUStatus { Complete, Incomplete, Failed };

// One file put together from its pieces.
struct TUUFile {
    std::string name;                   // from the begin line
    std::vector<const TUUPiece*> parts; // in file order; nullptr where one is missing
    bool numbered = false;              // placed by Subject part numbers
    TUUStatus status = TUUStatus::Failed;
    std::vector<int> missing; // part numbers known to be missing
    int unplaced = 0;         // parts missing at a place the data cannot tell
    std::string reason;       // why it is incomplete or failed

    size_t Size() const;
};

// Judges parts in file order: complete, incomplete (missing holds the part
// numbers, or unplaced how many parts the "size" line says are lacking) or
// failed (parts out of order, no begin line, more data than announced).
void CheckParts(TUUFile& file);

// Puts all pieces found together into files: pieces that carry a part number
// in their Subject by that number, the others by their data (the begin piece
// first, the one with the end last), grouped by Subject. Every file is
// checked. The files point into pieces, which must outlive them.
std::vector<TUUFile> JoinPieces(const std::vector<TUUPiece>& pieces);
