// Writes the seed corpora of the fuzz harnesses with the kit's own writers:
// archives packed with every directory and member method, raw LZ and zlib
// members, pictures from the encoder, WAVE loops, a baked font definition
// and caption files. Also prepares the scratch directory of the name
// resolution harness. Usage: make_fuzz_seeds OUTDIR
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/archive/lcc_writer.h"
#include "kit/demo/audio_buffer.h"
#include "kit/encoder/picture_encoder.h"
#include "kit/font_baker/font_baker.h"
#include "kit/lz/lz_pack.h"

namespace {

using Bytes = std::vector<uint8_t>;
std::string root;

void makeDirectory(const std::string& path) { mkdir(path.c_str(), 0755); }

void writeFile(const std::string& path, const Bytes& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fclose(file);
}

void seed(const std::string& corpus, const std::string& name, const Bytes& bytes) {
    makeDirectory(root + "/" + corpus);
    writeFile(root + "/" + corpus + "/" + name, bytes);
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

void appendU32(Bytes& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
}

RgbImage testImage(int width, int height, int pattern) {
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = uint8_t(pattern ? (x * 37 ^ y * 91) : x * 255 / width);
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t(pattern ? (x + y) * 3 : 128 + 100 * std::sin(x * 0.2));
        }
    return image;
}

Bytes tone(size_t frames) {
    StereoBuffer audio;
    audio.resize_frames(frames);
    for (size_t i = 0; i < frames; ++i) {
        audio.samples[2 * i] = float(0.5 * std::sin(i * 0.05));
        audio.samples[2 * i + 1] = float(0.25 * std::sin(i * 0.07));
    }
    return encode_wav16(audio);
}

// A WAVE file with a LIST chunk between the format and the data chunk.
Bytes toneWithListChunk(size_t frames) {
    Bytes plain = tone(frames);
    Bytes list = bytesOf("LIST");
    appendU32(list, 6);
    Bytes info = bytesOf("INFOab");
    list.insert(list.end(), info.begin(), info.end());
    Bytes bytes(plain.begin(), plain.begin() + 36);
    bytes.insert(bytes.end(), list.begin(), list.end());
    bytes.insert(bytes.end(), plain.begin() + 36, plain.end());
    uint32_t riff = uint32_t(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + i] = uint8_t(riff >> (8 * i));
    return bytes;
}

Bytes withClaimedSize(uint32_t size, const Bytes& packed, int methodByte = -1) {
    Bytes bytes;
    if (methodByte >= 0) bytes.push_back(uint8_t(methodByte));
    appendU32(bytes, size);
    bytes.insert(bytes.end(), packed.begin(), packed.end());
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds OUTDIR\n");
        return 1;
    }
    root = argv[1];
    makeDirectory(root);
    try {
        const Bytes captions = bytesOf(
            "Morning light over the ridge\r\nA quiet harbour, caf\xe9 lights\r\n"
            "Fifty characters exactly, no more and none fewer!\r\nA caption that runs on well past the fifty characters the show types\r\n");
        const Bytes shortCaptions = bytesOf("First line\r\nSecond, with a tab\t\r\n\r\nlone\nfeed\r\n\xe9t\xe9");
        BakedFont font;
        std::string error;
        if (!bake_font("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 12, &font, &error))
            throw std::runtime_error("font: " + error);
        const Bytes fontDefinition = encode_font_definition(font);
        const Bytes smallPicture = encodePicture(testImage(64, 64, 0));
        const Bytes widePicture = encodePicture(testImage(128, 64, 1));
        const Bytes largerPicture = encodePicture(testImage(256, 128, 1));
        const Bytes loop = tone(300);

        seed("captions", "demo.txt", captions);
        seed("captions", "short.txt", shortCaptions);
        seed("font", "dejavu12.def", fontDefinition);
        seed("picture", "64x64.wmj", smallPicture);
        seed("picture", "128x64.wmj", widePicture);
        seed("picture", "256x128.wmj", largerPicture);
        seed("wav", "tone.wav", loop);
        seed("wav", "one_frame.wav", tone(1));
        seed("wav", "list_chunk.wav", toneWithListChunk(40));

        const std::vector<std::pair<std::string, Bytes>> contents = {
            {"captions", shortCaptions}, {"font", fontDefinition}, {"wav", loop},
            {"picture", smallPicture},   {"empty", Bytes()},       {"runs", Bytes(3000, 'x')}};
        for (const auto& [name, data] : contents) {
            seed("lz", name, withClaimedSize(uint32_t(data.size()), lzPack(data.data(), data.size())));
            seed("member", name + ".lz", withClaimedSize(uint32_t(data.size()), lccPackBytes(1, data), 1));
            seed("member", name + ".zlib", withClaimedSize(uint32_t(data.size()), lccPackBytes(2, data), 0));
        }

        std::vector<LccMember> members = {{"data/text/velandora.txt", shortCaptions, -1},
                                           {"data/fonts/batang.def", fontDefinition, -1},
                                           {"data/audio/loop_idle.wav", loop, -1},
                                           {"data/images/0100.wmj", smallPicture, -1},
                                           {"empty.bin", Bytes(), -1}};
        for (uint32_t directoryMethod = 0; directoryMethod < 3; ++directoryMethod)
            for (uint32_t memberMethod = 0; memberMethod < 3; ++memberMethod) {
                LccArchiveLayout layout;
                layout.name = "seed";
                layout.baseName = "data";
                layout.note = "fuzz seed";
                layout.directoryMethod = directoryMethod;
                layout.memberMethod = memberMethod;
                seed("archive",
                     "dir_" + lccMethodName(directoryMethod) + "_members_" + lccMethodName(memberMethod) + ".lcc",
                     buildLccArchive(layout, members));
            }
        LccArchiveLayout prioritised;
        prioritised.prioritised = true;
        prioritised.priority = 7;
        std::vector<LccMember> mixed = {{"a.txt", bytesOf("stored"), 0},
                                        {"b.txt", bytesOf("packed with lz lz lz lz"), 1},
                                        {"c.txt", bytesOf("packed with zlib zlib zlib"), 2}};
        seed("archive", "prioritised_mixed.lcc", buildLccArchive(prioritised, mixed));

        // The name harness's directory: an archive, loose files, "DATA/".
        const std::string names = root + "/names_root";
        makeDirectory(names);
        makeDirectory(names + "/data");
        makeDirectory(names + "/data/text");
        makeDirectory(names + "/DATA");
        LccArchiveLayout namesSpec;
        namesSpec.name = "names";
        namesSpec.baseName = "data";
        namesSpec.memberMethod = 1;
        namesSpec.directoryMethod = 2;
        std::vector<LccMember> namesMembers = members;
        namesMembers.push_back({"data/text/zlib.txt", shortCaptions, 2});
        namesMembers.push_back({"data/text/stored.txt", shortCaptions, 0});
        writeFile(names + "/names.lcc", buildLccArchive(namesSpec, namesMembers));
        writeFile(names + "/data/text/loose.txt", bytesOf("a loose file\r\n"));
        writeFile(names + "/DATA/fallback.txt", bytesOf("found by its base name\r\n"));
        const char* nameSeeds[] = {"data/text/velandora.txt", "DATA\\TEXT\\VELANDORA.TXT", "missing.txt|data/fonts/batang.def",
                                   "res:12",  "RES:0012|res:99", "data/text/loose.txt", "fallback.txt",
                                   "velandora.txt", "data/images/0100.wmj", "data/text/zlib.txt|x", "empty.bin"};
        int index = 0;
        for (const char* name : nameSeeds)
            for (int mode = 0; mode < 2; ++mode) {
                Bytes bytes(1, uint8_t(mode));
                Bytes text = bytesOf(name);
                bytes.insert(bytes.end(), text.begin(), text.end());
                seed("names", "name" + std::to_string(index++), bytes);
            }
        Bytes longName(1, 0);
        for (int i = 0; i < 40; ++i) {
            Bytes part = bytesOf("data\\long_directory_name/");
            longName.insert(longName.end(), part.begin(), part.end());
        }
        seed("names", "long", longName);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", failure.what());
        return 1;
    }
    return 0;
}
