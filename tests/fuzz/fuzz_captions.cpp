// Caption files from arbitrary bytes, loaded through openFile like the
// show's. Each line the show would type must end inside the text, and is
// widened and cut the way the show does it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "app/show.h"
#include "font/strings.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    enterScratchDirectory();
    writeScratchFile("captions.txt", data, size);
    load_captions("captions.txt");
    if (size > 0 && !show_state.caption_text) std::abort();
    for (char* line : show_state.caption_lines) {
        if (!line) continue;
        if (line < show_state.caption_text || line > show_state.caption_text + size) std::abort();
        const size_t length = std::strlen(line);
        WideString caption;
        caption.format(u"%S", line);
        // Caption bytes become code units of the same value, one for one.
        if (caption.length != length) std::abort();
        for (size_t i = 0; i < length; ++i)
            if (caption.data[i] != char16_t(static_cast<unsigned char>(line[i]))) std::abort();
        char16_t shown[kCaptionBufferUnits];
        const uint32_t units = caption.length < uint32_t(kCaptionBufferUnits - 1) ? caption.length
                                                                                  : kCaptionBufferUnits - 1;
        for (int32_t typed = 0; typed < kCaptionTypingRate; ++typed) {
            std::memcpy(shown, caption.data, units * sizeof(char16_t));
            shown[units] = 0;
            shown[typed] = 0;
            (void)caption_is_typing(shown, typed);
        }
    }
    load_captions("missing.txt");
    if (show_state.caption_text || show_state.caption_lines[0]) std::abort();
    return 0;
}
