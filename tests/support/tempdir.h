#pragma once
#include <string>

// A fresh folder under the temp folder, removed with everything in it when
// the object goes.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // With a trailing "/", ready to have a file name appended.
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + name; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;

private:
    std::string path_;
};

// A temp folder that is LocalRoot for the test's life.
class TTempRoot : public TTempDir {
public:
    TTempRoot();
    ~TTempRoot();
};
