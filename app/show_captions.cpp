// The caption file: one line per picture, lines ended by CR LF.
#include "app/show.h"
#include "lib/file_system.h"
#include "lib/heap.h"
#include "lib/stream.h"

void load_captions(const char* name) {
    heapFree(show_state.caption_text);
    show_state.caption_text = nullptr;
    for (char*& line : show_state.caption_lines) line = nullptr;

    Stream* stream = openFile(name);
    if (!stream) return;
    int32_t size = stream->size();
    if (size < 0) size = 0;
    char* text = static_cast<char*>(heapAlloc(size_t(size) + 1));
    if (!text) {
        delete stream;
        return;
    }
    int32_t got = size > 0 ? stream->read(text, size) : 0;
    if (got < 0) got = 0;
    text[got] = 0;  // a short read ends the text where the bytes end
    delete stream;

    show_state.caption_text = text;
    show_state.caption_lines[0] = text;
    int32_t next = 1;
    int32_t length = 0;
    for (; text[length]; ++length)
        if (text[length] == '\n' && next < kCaptionLineCount) show_state.caption_lines[next++] = text + length + 1;
    // A line ends at its carriage return; a lone line feed does not end it.
    for (int32_t i = 0; i < length; ++i)
        if (text[i] == '\r') text[i] = 0;
}
