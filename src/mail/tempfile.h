#pragma once
#include <cstdint>
#include <fstream>
#include <string>

// A new, unique file in the temp folder ($TMPDIR or /tmp) named "ms" and six
// random characters, open for reading and writing in binary mode. It is always
// closed and deleted when the object goes, whatever happened; errors of the
// deletion are ignored. Creating it raises EInOutError when no file can be made.
//
// Typical use: write (SaveToStream), then Rewind, then read it back in chunks
// with read()/gcount(), or take ReadAll() for small files.
class TTempFileStream : public std::fstream {
public:
    TTempFileStream();
    ~TTempFileStream() override;
    TTempFileStream(const TTempFileStream&) = delete;
    TTempFileStream& operator=(const TTempFileStream&) = delete;

    const std::string& Path() const { return path_; }
    // Bytes in the file, after flushing what was written.
    std::int64_t Size();
    // Flushes, clears the stream's state and puts both positions at the start.
    void Rewind();
    // The whole content; the read position is left at the end.
    std::string ReadAll();

private:
    std::string path_;
};
