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
// Replaces the file's contents so that a crash at any moment leaves either
// the old file or the new one whole: the text goes to a temporary file
// beside it, which is flushed to disk and renamed over the old one. A
// failure is reported ("WriteFileAtomic: <path>") and returns false.
bool WriteFileAtomic(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);
