#pragma once
#include <string>

// The whole file as bytes; "" when it does not exist. Other failures raise
// EInOutError.
std::string ReadFileString(const std::string& path);
// Creates or truncates the file and writes text exactly. Never raises: a
// failure is reported ("WriteFileString-<step>: <path>") and the caller goes on.
void WriteFileString(const std::string& path, const std::string& text);
// Keeps the last maxLength + 1 bytes when the file is longer than maxLength.
void TrimFileToSize(const std::string& path, long long maxLength);
// The log's trim: never raises, reports its own failure.
void TrimFileToSizeCosmetic(const std::string& path, long long maxLength);
// Replacing a file so that a crash or a full disk at any moment leaves either
// the old file or the new one whole: the text goes to a temporary file in the
// same folder, which is flushed to disk and then renamed over the old one.
//
// The first half: a new hidden file beside path holding text, on disk, with
// path's permissions when path exists. Returns its name. Raises EInOutError
// and leaves nothing behind. When path is a symbolic link, both halves work
// on the file it names, and the link stays.
std::string WriteTempFileBeside(const std::string& path, const std::string& text);
// The second half: temp renamed over path, and the folder flushed. Raises
// EInOutError (temp is removed; path stays as it was).
void MoveTempFileOver(const std::string& temp, const std::string& path);
// Both halves. Raises EInOutError; path is then unchanged.
void ReplaceFileContents(const std::string& path, const std::string& text);
// ReplaceFileContents that reports a failure ("WriteFileAtomic: <path>")
// and returns false instead of raising.
bool WriteFileAtomic(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);
