// Freed heap pages back to the system: the process heap is compacted.
#include "platform/memory.h"

#include <windows.h>

void platformReleaseFreeMemory() { HeapCompact(GetProcessHeap(), 0); }
