#pragma once
// Saves RGB pixels (rows from the top) as a PNG file, to look at test output.
#include <cstdint>
#include <string>
#include <vector>

bool save_png(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height);
