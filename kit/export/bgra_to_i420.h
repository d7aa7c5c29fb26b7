#pragma once
// Frame-buffer pixels (blue, green, red, 255) to 4:2:0 planes, BT.709 with
// limited range (luma 16..235, chroma 16..240), as video players expect. Each
// chroma sample is the colour of the 2x2 pixels it covers, averaged. Done
// with integer sums that the compiler vectorises: the export's colour
// conversion is a tenth of its work through libswscale's general path.
#include <cstdint>

struct I420Planes {
    uint8_t* y;
    uint8_t* u;
    uint8_t* v;
    int y_stride, u_stride, v_stride;
};

// `source` points at the first row to convert; `source_stride` bytes lead to
// the next one (negative to read the rows from the bottom up). Width and
// height are even.
void bgra_to_i420(const uint8_t* source, int source_stride, int width, int height, const I420Planes& out);
