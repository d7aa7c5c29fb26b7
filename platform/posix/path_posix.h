#pragma once
// Disk names as on the show's original platform: '\' and '/' both separate;
// the exact path is used when it exists, otherwise each component is matched
// without regard to ASCII letter case.
#include <string>

// The path to hand to the system for `name`. With `forCreate`, a last
// component that matches nothing is kept as given so that it can be created;
// otherwise a name that matches nothing gives an empty path.
std::string platformResolvePath(const char* name, bool forCreate);
