#pragma once
// The demo show's caption file: one Latin-1 line per picture, CR LF endings.
#include <string>

// The file's bytes, exactly as the show reads them.
std::string demo_captions();
// Caption of picture index (Latin-1 bytes, no line ending).
std::string demo_caption(int index);
