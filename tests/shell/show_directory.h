#pragma once
// A scratch working directory holding what the shell needs to start: the
// caption font "batang" (one page, one glyph). Tests run inside it.
#include "tests/support/scratch_directory.h"

class ShowDirectory : public ScratchDirectory {
public:
    ShowDirectory();
};
