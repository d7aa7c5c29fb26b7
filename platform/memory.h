#pragma once
// Returning freed memory to the system.

// Gives the pages of freed heap blocks back to the system. Each picture slot
// frees and allocates picture-sized buffers (the decoder's, the GL driver's
// texture storage), and over a long show the gaps between them would keep
// pages the player no longer uses. Cheap enough to call once per picture.
void platformReleaseFreeMemory();
