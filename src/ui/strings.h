#pragma once
#include <functional>
#include <string>
#include <vector>

// A list of text lines that tells its owner when it changes (a list box
// repaints, a list file is saved).
class TStrings {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_.at(static_cast<size_t>(i)); }
    const std::vector<std::string>& Lines() const { return lines_; }

    void Add(const std::string& line);
    void Insert(int index, const std::string& line);
    void Delete(int index);
    void Clear();
    void Assign(std::vector<std::string> lines);
    // Case-insensitive, like the lists the program searches; -1 when absent.
    int IndexOf(const std::string& line) const;

    // Lines ended by CR LF; reading accepts CR LF, LF or CR alone.
    std::string Text() const;
    void SetText(const std::string& text);
    // Raises EInOutError when the file cannot be read.
    void LoadFromFile(const std::string& path);

    std::function<void()> OnChange;

private:
    void Changed();
    std::vector<std::string> lines_;
};
