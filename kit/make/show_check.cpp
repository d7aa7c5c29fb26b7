#include "kit/make/show_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#ifndef OV_EXCLUDE_STATIC_CALLBACKS
#define OV_EXCLUDE_STATIC_CALLBACKS
#endif
#include <vorbis/vorbisfile.h>

#include "app/show.h"
#include "audio/wav_loop.h"
#include "codec/picture_decoder.h"
#include "font/unicode_font.h"
#include "lib/archive_file_system.h"
#include "lib/file_system.h"
#include "lib/stream.h"
#include "platform/files.h"

namespace {

const char* const kMusicName = "data/audio/velandora.ogg";
const char* const kCaptionName = "data/text/velandora.txt";
const char* const kFontName = "data/fonts/batang.def";
const char* const kLoopNames[2] = {"data/audio/loop_idle.wav", "data/audio/loop_active.wav"};
constexpr int kPictureSearch = 1000;  // slots looked at for pictures past a gap
constexpr int32_t kFontPageBytes = 256 * 256 * 3;

std::string pictureName(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "data/images/%04d.wmj", (index + 1) * 100);
    return name;
}

std::unique_ptr<Stream> openShowFile(const std::string& name) { return std::unique_ptr<Stream>(openFile(name.c_str())); }

std::vector<uint8_t> readAll(Stream& stream) {
    const int32_t size = stream.size();
    std::vector<uint8_t> bytes(size_t(std::max(size, 0)));
    if (size > 0) {
        stream.seek(0);
        const int32_t got = stream.read(bytes.data(), size);
        bytes.resize(size_t(std::max(got, 0)));
    }
    return bytes;
}

// vorbisfile over a Stream, as the music player opens its track.
size_t vorbisRead(void* destination, size_t size, size_t count, void* source) {
    if (!size || !count) return 0;
    const size_t bytes = std::min<size_t>(size * count, 0x7FFFFFFF);
    const int32_t got = static_cast<Stream*>(source)->read(destination, int32_t(bytes));
    return got > 0 ? size_t(got) / size : 0;
}
int vorbisSeek(void* source, ogg_int64_t offset, int origin) {
    Stream* stream = static_cast<Stream*>(source);
    const int32_t low = int32_t(offset);
    if (origin == SEEK_SET) stream->seek(low);
    else if (origin == SEEK_CUR) stream->seekRelative(low);
    else if (origin == SEEK_END) stream->seekFromEnd(low);
    else return -1;
    return 0;
}
long vorbisTell(void* source) { return static_cast<Stream*>(source)->tell(); }

// Runs `load` with standard error caught, and gives back what it printed.
std::string capturingStderr(const std::function<void()>& load) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        load();
        return std::string();
    }
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(pipeEnds[1], STDERR_FILENO);
    close(pipeEnds[1]);
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    load();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text;
    char buffer[1024];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
    close(pipeEnds[0]);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) c = char(std::tolower((unsigned char)c));
    return text;
}

class Checker {
public:
    CheckReport report;

    void problem(const std::string& text) { report.findings.push_back({true, text}); }
    void warning(const std::string& text) { report.findings.push_back({false, text}); }

    void archives() {
        const std::vector<std::string> listed = platformListArchives();
        report.archives = listed;
        const ArchiveFileSystem* fileSystem = archiveFileSystem();
        const size_t mounted = fileSystem ? fileSystem->archives().size() : 0;
        if (mounted < listed.size())
            warning(std::to_string(listed.size() - mounted) + " of the archives here (" + join(listed) +
                    ") are not valid archives, or repeat another's name: the player leaves them out");
        if (!fileSystem || mounted < 2) return;
        // Two shows side by side: the same member in archives that do not
        // override each other. The player takes one of them silently.
        std::map<std::string, std::vector<const ArchiveRecord*>> owners;
        for (const EntryRecord* entry : fileSystem->entries()) owners[lower(entry->name)].push_back(entry->archive);
        int shared = 0;
        std::string example;
        for (const auto& owner : owners)
            if (owner.second.size() > 1 && owner.first.rfind("data/", 0) == 0) {
                if (!shared) example = owner.first;
                ++shared;
            }
        if (shared)
            problem(std::to_string(shared) + " show files (such as " + example +
                    ") are in more than one archive here (" + join(listed) +
                    "): the player takes each from one of them, mixing the shows; keep one show per folder");
    }

    void pictures() {
        int count = 0;
        for (; count < kPictureSearch; ++count) {
            std::unique_ptr<Stream> stream = openShowFile(pictureName(count));
            if (!stream || stream->size() == 0) break;
            PictureBuffer picture;
            PictureDecoder decoder;
            const DecodeResult result = decoder.decode(stream.get(), picture);
            if (result != DecodeResult::decoded)
                problem(pictureName(count) + ": " + decodeResultName(result) + " picture: the player shows black");
            else if (picture.width != kPictureWidth || picture.height != kPictureHeight)
                problem(pictureName(count) + " is " + std::to_string(picture.width) + "x" +
                        std::to_string(picture.height) + ", not 1024x512: the player shows black");
        }
        report.pictures = count;
        report.showSeconds = 2.5 + 6.0 * count;
        std::vector<int> later;
        for (int k = count + 1; k < kPictureSearch; ++k) {
            std::unique_ptr<Stream> stream = openShowFile(pictureName(k));
            if (stream && stream->size() > 0) later.push_back(k);
        }
        if (!later.empty()) {
            problem(pictureName(count) + " is missing" + (count == 0 ? "" : " or empty") +
                    ": the show ends after " + std::to_string(count) + (count == 1 ? " picture" : " pictures") +
                    ", and " + std::to_string(later.size()) + " later " +
                    (later.size() == 1 ? "picture (" : "pictures (") + baseName(pictureName(later.front())) +
                    (later.size() > 1 ? " .. " + baseName(pictureName(later.back())) : "") + ") are never shown");
        } else if (count == 0) {
            problem("no pictures: " + pictureName(0) + " is missing, so the show ends as soon as it begins");
        }
        // Picture files off the numbering.
        if (const ArchiveFileSystem* fileSystem = archiveFileSystem())
            for (const EntryRecord* entry : fileSystem->entries()) {
                const std::string name = lower(entry->name);
                if (name.rfind("data/images/", 0) != 0) continue;
                const std::string base = name.substr(12);
                int number = 0;
                char tail = 0;
                const bool numbered = std::sscanf(base.c_str(), "%d.wm%c", &number, &tail) == 2 && tail == 'j';
                bool onNumbering = numbered && number > 0 && number % 100 == 0;
                if (onNumbering) {
                    onNumbering = base == baseName(pictureName(number / 100 - 1));
                }
                if (!onNumbering)
                    warning(std::string(entry->name) +
                            " is not named as the player numbers pictures (data/images/0100.wmj, 0200.wmj, ...): "
                            "it is never shown");
            }
    }

    void music() {
        std::unique_ptr<Stream> stream = openShowFile(kMusicName);
        if (!stream) {
            problem(std::string("no music: ") + kMusicName +
                    " is missing; the music is the show's clock, so nothing is shown");
            return;
        }
        OggVorbis_File file;
        ov_callbacks callbacks = {vorbisRead, vorbisSeek, nullptr, vorbisTell};
        if (ov_open_callbacks(stream.get(), &file, nullptr, 0, callbacks) != 0) {
            problem(std::string(kMusicName) + " is not Ogg Vorbis: the show plays in silence");
            return;
        }
        const vorbis_info* info = ov_info(&file, -1);
        const double seconds = ov_time_total(&file, -1);
        if (info && (info->rate != 44100 || info->channels != 2)) {
            problem(std::string(kMusicName) + " is " + std::to_string(info->rate) + " Hz with " +
                    std::to_string(info->channels) + (info->channels == 1 ? " channel" : " channels") +
                    ": the show's music must be 44.1 kHz stereo Vorbis (velkit make converts any song)");
        }
        report.songSeconds = seconds > 0 ? seconds : 0;
        ov_clear(&file);  // no close callback: the stream stays ours
    }

    void loops() {
        for (int slot = 0; slot < 2; ++slot) {
            const char* name = kLoopNames[slot];
            std::unique_ptr<Stream> stream = openShowFile(name);
            if (!stream) {
                warning(std::string(name) + " is missing: no " + (slot == 0 ? "ambience" : "typing sound"));
                continue;
            }
            stream.reset();
            int16_t* samples = nullptr;
            uint32_t frames = 0;
            bool loaded = false;
            const std::string said = capturingStderr([&] { loaded = load_wav_loop(name, &samples, &frames); });
            if (loaded) {
                free_loop_samples(samples);
                continue;
            }
            std::string why = said;
            const size_t colon = why.rfind(": ");
            if (colon != std::string::npos) why = why.substr(colon + 2);
            problem(std::string(name) + ": the loop mixer refuses it" + (why.empty() ? "" : " (" + why + ")") +
                    "; loops must be 16-bit PCM stereo WAVE at 44.1 kHz");
        }
    }

    // Loads the font definition; false when there is none.
    bool font() {
        std::unique_ptr<Stream> stream = openShowFile(kFontName);
        if (!stream) {
            problem(std::string("no font: ") + kFontName + " is missing, and the player stops at start-up");
            return false;
        }
        const std::vector<uint8_t> bytes = readAll(*stream);
        clear_font_definition(&definition_);
        if (!parse_font_definition(bytes.data(), bytes.size(), &definition_)) {
            problem(std::string(kFontName) + ": out of memory reading it");
            return false;
        }
        if (definition_.page_count == 0) problem(std::string(kFontName) + " has no glyph pages");
        for (int page = 0; page < definition_.page_count && page < kFontMaxPages; ++page) {
            const std::string name = "data/fonts/batang_" + std::to_string(page) + ".raw";
            std::unique_ptr<Stream> pageStream = openShowFile(name);
            if (!pageStream)
                problem(name + " is missing: the captions are drawn without their glyphs");
            else if (pageStream->size() < kFontPageBytes)
                problem(name + " holds " + std::to_string(pageStream->size()) + " bytes, not a whole 256x256 page");
        }
        haveFont_ = true;
        return true;
    }

    void captions() {
        std::unique_ptr<Stream> stream = openShowFile(kCaptionName);
        if (!stream) return;
        haveCaptions_ = true;
        const std::vector<uint8_t> text = readAll(*stream);
        int line = 1, column = 0, lineFeedsOnly = 0, firstLineFeedOnly = 0, loneReturns = 0, firstLoneReturn = 0;
        int missingGlyphs = 0;
        std::string firstMissing;
        int utf8Pairs = 0, firstUtf8 = 0;
        std::vector<int> lengths;
        int length = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const uint8_t byte = text[i];
            if (byte == 0) {
                problem(std::string(kCaptionName) + ":" + std::to_string(line) +
                        ": a zero byte, where the player's captions end");
                break;
            }
            if (byte == '\n') {
                if (i == 0 || text[i - 1] != '\r') {
                    if (!lineFeedsOnly++) firstLineFeedOnly = line;
                }
                lengths.push_back(length);
                length = 0;
                ++line;
                column = 0;
                continue;
            }
            if (byte == '\r') {
                if (i + 1 >= text.size() || text[i + 1] != '\n') {
                    if (!loneReturns++) firstLoneReturn = line;
                }
                continue;
            }
            ++column;
            ++length;
            // A UTF-8 file: two bytes each for its accented letters.
            if (byte >= 0xC2 && byte <= 0xDF && i + 1 < text.size() && (text[i + 1] & 0xC0) == 0x80)
                if (!utf8Pairs++) firstUtf8 = line;
            if (haveFont_ && definition_.glyph_map[byte] == kNoGlyph) {
                if (!missingGlyphs++) {
                    char code[16];
                    std::snprintf(code, sizeof code, "0x%02X", byte);
                    firstMissing = std::string(kCaptionName) + ":" + std::to_string(line) + ":" +
                                   std::to_string(column) + ": the font has no glyph for byte " + code;
                }
            }
        }
        if (length > 0) lengths.push_back(length);
        if (lineFeedsOnly)
            problem(std::string(kCaptionName) + ":" + std::to_string(firstLineFeedOnly) + ": " +
                    std::to_string(lineFeedsOnly) + (lineFeedsOnly == 1 ? " line ends" : " lines end") +
                    " with LF alone, not CR LF: the player runs such a caption into the next");
        if (loneReturns)
            problem(std::string(kCaptionName) + ":" + std::to_string(firstLoneReturn) + ": " +
                    std::to_string(loneReturns) + (loneReturns == 1 ? " line ends" : " lines end") +
                    " with CR alone, not CR LF: the player loses the line after it");
        if (missingGlyphs)
            problem(firstMissing + (missingGlyphs > 1 ? " (and " + std::to_string(missingGlyphs - 1) + " more)" : "") +
                    ": such characters are not drawn");
        if (utf8Pairs)
            problem(std::string(kCaptionName) + ":" + std::to_string(firstUtf8) +
                    ": the captions look like UTF-8: the player reads Latin-1, so each accented letter shows as "
                    "two wrong characters (velkit make converts them)");
        if (!lineFeedsOnly && !loneReturns)
            for (size_t k = 0; k < lengths.size() && int(k) < report.pictures && k < size_t(kCaptionLineCount); ++k)
                if (lengths[k] > 50)
                    warning(std::string(kCaptionName) + ":" + std::to_string(k + 1) + ": the caption has " +
                            std::to_string(lengths[k]) + " characters; the player types only the first 50");
        captionLines_ = int(lengths.size());
    }

    void song() {
        if (report.songSeconds < 0 || report.pictures == 0) return;
        if (report.songSeconds + 0.05 < report.showSeconds)
            warning("the song (" + formatDuration(report.songSeconds) + ") ends " +
                    formatDuration(report.showSeconds - report.songSeconds) +
                    " before the show (" + formatDuration(report.showSeconds) + "): the rest plays in silence");
    }

    ~Checker() { free_font_definition(&definition_); }
    Checker() { clear_font_definition(&definition_); }

    bool haveCaptions_ = false;
    int captionLines_ = 0;

private:
    static std::string join(const std::vector<std::string>& names) {
        std::string out;
        for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
        return out;
    }
    static std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

    FontDefinition definition_;
    bool haveFont_ = false;
};

}  // namespace

std::string formatDuration(double seconds) {
    if (seconds < 0) seconds = 0;
    const long tenths = std::lround(seconds * 10);
    char text[32];
    if (tenths < 600)
        std::snprintf(text, sizeof text, "%ld.%ld s", tenths / 10, tenths % 10);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, (tenths / 10) % 60, tenths % 10);
    return text;
}

CheckReport checkShowHere() {
    mountArchives();
    Checker checker;
    checker.archives();
    checker.pictures();
    checker.music();
    checker.loops();
    checker.font();
    checker.captions();
    checker.song();
    return checker.report;
}

CheckReport checkShowIn(const std::string& directory) {
    const int here = ::open(".", O_RDONLY | O_DIRECTORY);
    if (chdir(directory.c_str()) != 0) {
        if (here >= 0) close(here);
        CheckReport report;
        report.findings.push_back({true, "cannot enter " + directory + ": " + std::strerror(errno)});
        return report;
    }
    CheckReport report = checkShowHere();
    if (here >= 0) {
        if (fchdir(here) != 0) report.findings.push_back({false, "cannot go back to the working directory"});
        close(here);
    }
    return report;
}

void printCheckReport(const CheckReport& report, FILE* out) {
    for (const CheckFinding& finding : report.findings)
        std::fprintf(out, "  %s: %s\n", finding.problem ? "problem" : "warning", finding.text.c_str());
    std::string song = report.songSeconds < 0 ? "no usable song" : "song " + formatDuration(report.songSeconds);
    std::fprintf(out, "  %d picture%s, show %s, %s\n", report.pictures, report.pictures == 1 ? "" : "s",
                 formatDuration(report.showSeconds).c_str(), song.c_str());
    int problems = 0;
    for (const CheckFinding& finding : report.findings) problems += finding.problem;
    if (problems)
        std::fprintf(out, "  %d problem%s: the show will not play as authored\n", problems, problems == 1 ? "" : "s");
    else
        std::fprintf(out, "  the show will play as authored\n");
}
