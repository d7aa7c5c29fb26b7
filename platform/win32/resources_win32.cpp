// Resources of the program's own module: RT_RCDATA entries with integer
// identifiers, compiled in from the .rc file that vel_embed_resources writes.
#include <windows.h>

#include "platform/resources.h"

bool platformFindResource(uint16_t number, const void** data, int32_t* size) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(number), MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found) return false;
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return false;
    const void* bytes = LockResource(loaded);
    if (!bytes) return false;
    if (data) *data = bytes;
    if (size) *size = static_cast<int32_t>(SizeofResource(module, found));
    return true;
}
