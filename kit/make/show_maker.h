#pragma once
// velkit make: a show from a person's photographs, captions and song, in one
// archive that plays when it is put beside the player.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "kit/encoder/picture_encoder.h"
#include "kit/image/rgb_image.h"
#include "kit/make/photo.h"
#include "kit/make/picture_fit.h"

enum class PictureOrder { name, date };

struct MakeOptions {
    std::string output;               // OUT.lcc
    std::vector<std::string> inputs;  // picture files and folders
    std::string music;
    std::string captions;             // empty: no captions
    std::string font;                 // empty: the default font
    std::string idleLoop, activeLoop; // empty: the demo's loops
    PictureFit fit = PictureFit::crop;
    PictureOrder order = PictureOrder::name;
    PictureEncodeOptions picture;     // quality or largest file of each picture
    int threads = 0;                  // 0: one per core
    bool check = true;                // run velkit check on the result
};

// The show's timing: the first picture 2.5 s into the music, one
// every 6 s; the song fades out over the show's last 3 s.
constexpr double kShowLeadSeconds = 2.5;
constexpr double kSlotSeconds = 6.0;
constexpr double kFadeSeconds = 3.0;
constexpr float kMusicQuality = 0.4f;  // Vorbis VBR quality, about 128 kbit/s
const char* const kDefaultFontFile = "/usr/share/fonts/truetype/unfonts-core/UnBatang.ttf";
constexpr int kDefaultFontPixelSize = 20;

inline double showSeconds(int pictures) { return kShowLeadSeconds + kSlotSeconds * pictures; }

// Names compared as people read them: runs of digits as numbers (IMG_2
// before IMG_10), letters without regard to case.
bool naturalLess(const std::string& a, const std::string& b);

// The picture files the arguments name: files as given, folders' pictures
// (by extension, not recursing, hidden files left out). `skipped` gets the
// folder entries that were left out. Throws std::runtime_error for an
// argument that does not exist.
std::vector<std::string> listPictureFiles(const std::vector<std::string>& inputs, std::vector<std::string>* skipped);

// Sorts probed pictures by name (natural order of the path) or by date
// (EXIF DateTimeOriginal, else the file's time; ties by name).
void sortPictures(std::vector<PhotoInfo>& pictures, PictureOrder order);

// One picture of the show, from the file to the bytes of its .wmj: decoded
// at the size the fit needs, upright, fitted to 1024 x 512, encoded.
// A picture that cannot meet options.maxBytes fails with the photo's path.
std::vector<uint8_t> makeShowPicture(const PhotoInfo& photo, PictureFit fit, const PictureEncodeOptions& options = {});

// The one place where show pictures are encoded.
std::vector<uint8_t> encodeShowPicture(const RgbImage& picture, const PictureEncodeOptions& options = {});

// Encodes the pictures on `threads` workers (0: one per core), at most that
// many in flight. `done(index)` is called from the workers as each finishes.
// Throws std::runtime_error with the first failure (in picture order).
std::vector<std::vector<uint8_t>> makeShowPictures(const std::vector<PhotoInfo>& photos, PictureFit fit, int threads,
                                                   const std::function<void(size_t)>& done = nullptr,
                                                   const PictureEncodeOptions& options = {});

// The whole command: prints the plan, the progress and the check to `out`,
// errors to `err`. Returns the exit status (0, or 1 with a message).
int makeShow(const MakeOptions& options, FILE* out, FILE* err);
