#pragma once
// A scratch working directory with the caption font the shell needs to start.
#include "tests/support/scratch_directory.h"

class ShowDirectory : public ScratchDirectory {
public:
    ShowDirectory();
};
