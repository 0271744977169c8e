#pragma once
#include <string>
#include <string_view>
#include <vector>

// Quoted-printable encoding of text for mail.
//
// The source is cut into paragraphs at line breaks (CR LF, CR or LF, each one
// break). A paragraph of kQPParagraphLimit bytes or more raises ECodecError
// "Paragraph is too large". Each paragraph is cut into lines of at most 65
// source characters, preferably before a blank (which then begins the next
// line); every line but the paragraph's last ends with the soft break "=".
// Bytes below 32, "=" and bytes of 128 or more become "=" and two upper-case
// hex digits, as does a blank that ends a paragraph. A line that escaping
// would take past 76 characters gets further soft breaks. When the source does
// not end with a line break its last line ends with a soft break, so the text
// decodes to exactly the source (line breaks as CR LF).
constexpr size_t kQPParagraphLimit = 24576;

// Appends the encoded lines to out, each ended by CR LF.
void QPEncode(std::string_view source, std::string& out);
// The encoded lines without line ends.
std::vector<std::string> QPEncodeLines(std::string_view source);

// Quoted-printable decoding of encoded lines (without line ends). "=" and two
// hex digits become that byte; an "=" not followed by two hex digits stays as
// it is. A line ending in "=" joins the next one without the "="; every other
// line ends with CR LF unless its last character is code 26. Blanks and tabs
// that a transport added at a line's end are dropped first. A paragraph may
// be of any length: the decoded text is as long as the input at most.
std::string QPDecodeLines(const std::vector<std::string>& lines);
