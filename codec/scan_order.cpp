#include "codec/scan_order.h"

Cell cellOfScanPosition(int32_t s) {
    if (s <= 0) return Cell{0, 0};
    int32_t level = (31 - __builtin_clz(uint32_t(s))) / 2;  // 4^level <= s < 4^(level + 1)
    int32_t b = 1 << level;
    int32_t r = s - b * b;
    if (r < 2 * b * b) {
        int32_t j = r >> 1;
        if ((r & 1) == 0) return Cell{j % b, b + j / b};  // upper right
        return Cell{b + j % b, j / b};                    // lower left
    }
    int32_t j = r - 2 * b * b;
    return Cell{b + j % b, b + j / b};  // lower right
}
