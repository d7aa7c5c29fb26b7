#include "kit/demo/captions.h"

#include "kit/demo/demo_pictures.h"

namespace {
// Latin-1 bytes written as escapes so the source stays plain ASCII:
// \xE0 a grave, \xE9 e acute, \xEA e circumflex, \xF1 n tilde, \xF6 o umlaut,
// \xFC u umlaut, \xE5 a ring, \xE4 a umlaut, \xF3 o acute.
const char* const captions[] = {
    "Aube sur les cr\xEAtes de Velandora",
    "Le soleil s'endort sur la mer dor\xE9" "e",
    "Mandelbrot, l'infini \xE0 port\xE9" "e de main",
    "Nordlicht \xFC" "ber dem stillen See",
    "Monta\xF1" "as en la niebla de la ma\xF1" "ana",
    "Stj\xE4rnor s\xE5 l\xE5ngt \xF6gat n\xE5r",
    "Julia, l'ordre n\xE9 du chaos",
    "Dunas bajo la luna: brisa, silencio, canci\xF3n",
};
}  // namespace

std::string demo_caption(int index) {
    if (index < 0 || index >= int(sizeof(captions) / sizeof(captions[0]))) return std::string();
    return captions[index];
}

std::string demo_captions() {
    std::string text;
    for (int i = 0; i < demo_picture_count(); ++i) {
        text += demo_caption(i);
        text += "\r\n";
    }
    return text;
}
