#pragma once
// Writing archive members below a directory and nowhere else.
#include <cstdint>
#include <string>
#include <vector>

// The components of a member name ('/' or '\' separated, "." dropped), or an
// empty list with `error` set when the name is empty, absolute, has a drive
// letter, or has a ".." component.
std::vector<std::string> safeMemberPath(const std::string& name, std::string* error);

// Writes `data` to `directory`/`components`, creating directories as needed.
// Refuses (false, `error` set) to go through or write over a symbolic link.
bool writeBelow(const std::string& directory, const std::vector<std::string>& components, const uint8_t* data,
                size_t size, std::string* error);
