#pragma once
// A scratch working directory holding what the shell needs to start: the
// caption font "batang" (one page, one glyph). Tests run inside it.
#include <string>

class ShowDirectory {
public:
    ShowDirectory();
    ~ShowDirectory();
    ShowDirectory(const ShowDirectory&) = delete;
    ShowDirectory& operator=(const ShowDirectory&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};
