// Probing and decoding of photographs: libjpeg-turbo (with DCT scaling),
// libpng (through the kit's decodePng), libwebp, libheif,
// and libexif for the JPEG and HEIF metadata.
#include "kit/make/photo.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
#include <libexif/exif-data.h>
#include <libheif/heif.h>
#include <sys/stat.h>
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "kit/image/image_file.h"

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& reason) {
    throw std::runtime_error(path + ": " + reason);
}

// ---------------------------------------------------------------- EXIF

uint16_t exifShort(ExifEntry* entry, ExifByteOrder order) {
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2) return 0;
    return exif_get_short(entry->data, order);
}

std::string exifAscii(ExifEntry* entry) {
    if (!entry || entry->format != EXIF_FORMAT_ASCII || !entry->data) return std::string();
    std::string text(reinterpret_cast<const char*>(entry->data), entry->size);
    const size_t zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}

// ---------------------------------------------------------------- JPEG

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

void jpegError(j_common_ptr info) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void jpegMessage(j_common_ptr info, int level) {
    JpegErrors* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errors->truncated = true;
}

// The EXIF fields of a JPEG, from its saved APP1 markers.
void jpegExif(jpeg_decompress_struct& info, PhotoInfo& photo) {
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1 || marker->data_length < 6 ||
            std::memcmp(marker->data, "Exif\0\0", 6) != 0)
            continue;
        int orientation = 0;
        readExifFields(marker->data, marker->data_length, &orientation, &photo.hasTakenTime, &photo.takenTime);
        photo.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
        return;
    }
}

void probeJpeg(PhotoInfo& photo) {
    FILE* file = std::fopen(photo.path.c_str(), "rb");
    if (!file) fail(photo.path, std::strerror(errno));
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpegError;
    errors.base.emit_message = jpegMessage;
    errors.truncated = false;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        fail(photo.path, std::string("bad JPEG: ") + errors.message);
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    photo.storedWidth = int(info.image_width);
    photo.storedHeight = int(info.image_height);
    const bool colour = info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB ||
                        info.jpeg_color_space == JCS_GRAYSCALE;
    jpegExif(info, photo);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    if (!colour) fail(photo.path, "CMYK JPEG pictures are not supported (save it as RGB)");
}

RgbImage decodeJpegScaled(const PhotoInfo& photo, double scale) {
    const std::vector<uint8_t> bytes = readFileBytes(photo.path);
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpegError;
    errors.base.emit_message = jpegMessage;
    errors.truncated = false;
    RgbImage image;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        fail(photo.path, std::string("bad JPEG: ") + errors.message);
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    // DCT scaling: the smallest M/8 whose output still holds `scale` times
    // the picture. libjpeg-turbo decodes at M/8 for M = 1 .. 16 by scaling
    // the inverse DCT, which skips most of the work at small M.
    info.scale_denom = 8;
    info.scale_num = 8;
    for (unsigned m = 1; m <= 8; ++m) {
        info.scale_num = m;
        jpeg_calc_output_dimensions(&info);
        if (info.output_width >= std::ceil(photo.storedWidth * scale - 1e-9) &&
            info.output_height >= std::ceil(photo.storedHeight * scale - 1e-9))
            break;
    }
    // Speed where it costs no visible quality at these reductions.
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&info);
    if (info.output_components != 3 || info.output_width == 0 || info.output_height == 0) {
        jpeg_destroy_decompress(&info);
        fail(photo.path, "JPEG colour format not supported");
    }
    image = RgbImage(int(info.output_width), int(info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[4];
        int count = 0;
        for (; count < 4 && info.output_scanline + JDIMENSION(count) < info.output_height; ++count)
            rows[count] = image.pixel(0, int(info.output_scanline) + count);
        jpeg_read_scanlines(&info, rows, JDIMENSION(count));
        if (errors.truncated) break;
    }
    if (errors.truncated) {
        jpeg_destroy_decompress(&info);
        fail(photo.path, "JPEG data is truncated (the file ends before the picture does)");
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (errors.truncated) fail(photo.path, "JPEG data is truncated (the file ends before the picture does)");
    return orientImage(image, photo.orientation);
}

// ---------------------------------------------------------------- PNG

void probePng(PhotoInfo& photo, const uint8_t* head, size_t size) {
    // The IHDR chunk comes first: width and height at bytes 16 and 20.
    if (size < 24 || std::memcmp(head + 12, "IHDR", 4) != 0) fail(photo.path, "bad PNG: no IHDR chunk");
    auto be32 = [&](size_t at) {
        return uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 | uint32_t(head[at + 2]) << 8 | head[at + 3];
    };
    const uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 65535 || h > 65535) fail(photo.path, "PNG size out of range");
    photo.storedWidth = int(w);
    photo.storedHeight = int(h);
}

RgbImage decodePngFile(const PhotoInfo& photo) {
    try {
        return decodePng(readFileBytes(photo.path));
    } catch (const std::runtime_error& error) {
        fail(photo.path, error.what());
    }
}

// ---------------------------------------------------------------- WebP

void probeWebp(PhotoInfo& photo) {
    const std::vector<uint8_t> bytes = readFileBytes(photo.path);
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK)
        fail(photo.path, "bad WebP header");
    if (features.has_animation) fail(photo.path, "animated WebP pictures are not supported");
    photo.storedWidth = features.width;
    photo.storedHeight = features.height;
    // The time it was taken, from an EXIF chunk when there is one.
    WebPData data = {bytes.data(), bytes.size()};
    WebPDemuxer* demux = WebPDemux(&data);
    if (!demux) return;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, "EXIF", 1, &chunk)) {
        int orientation = 0;
        readExifFields(chunk.chunk.bytes, chunk.chunk.size, &orientation, &photo.hasTakenTime, &photo.takenTime);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
}

RgbImage decodeWebpScaled(const PhotoInfo& photo, double scale) {
    const std::vector<uint8_t> bytes = readFileBytes(photo.path);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) fail(photo.path, "cannot start the WebP decoder");
    if (WebPGetFeatures(bytes.data(), bytes.size(), &config.input) != VP8_STATUS_OK)
        fail(photo.path, "bad WebP header");
    const int width = config.input.width, height = config.input.height;
    RgbImage image(width, height);
    if (scale < 1.0) {
        // libwebp scales while it writes the rows, without a full-size copy.
        image = RgbImage(std::max(1, int(std::ceil(width * scale))), std::max(1, int(std::ceil(height * scale))));
        config.options.use_scaling = 1;
        config.options.scaled_width = image.width;
        config.options.scaled_height = image.height;
    }
    config.output.colorspace = MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.rgb.data();
    config.output.u.RGBA.stride = image.width * 3;
    config.output.u.RGBA.size = image.rgb.size();
    const VP8StatusCode status = WebPDecode(bytes.data(), bytes.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA) fail(photo.path, "WebP data is truncated");
    if (status != VP8_STATUS_OK) fail(photo.path, "bad WebP data");
    return image;
}

// ---------------------------------------------------------------- HEIF

struct HeifContext {
    heif_context* context = heif_context_alloc();
    heif_image_handle* handle = nullptr;
    heif_image* image = nullptr;
    ~HeifContext() {
        if (image) heif_image_release(image);
        if (handle) heif_image_handle_release(handle);
        if (context) heif_context_free(context);
    }
};

void openHeif(HeifContext& heif, const std::string& path) {
    static const bool started = [] {
        heif_init(nullptr);
        return true;
    }();
    (void)started;
    if (!heif.context) fail(path, "out of memory");
    heif_error error = heif_context_read_from_file(heif.context, path.c_str(), nullptr);
    if (error.code != heif_error_Ok) fail(path, std::string("bad HEIF: ") + error.message);
    error = heif_context_get_primary_image_handle(heif.context, &heif.handle);
    if (error.code != heif_error_Ok) fail(path, std::string("bad HEIF: ") + error.message);
}

void probeHeif(PhotoInfo& photo) {
    HeifContext heif;
    openHeif(heif, photo.path);
    // Sizes after the file's own rotation, mirror and crop properties.
    photo.storedWidth = heif_image_handle_get_width(heif.handle);
    photo.storedHeight = heif_image_handle_get_height(heif.handle);
    heif_item_id ids[4];
    const int count = heif_image_handle_get_list_of_metadata_block_IDs(heif.handle, "Exif", ids, 4);
    if (count > 0) {
        std::vector<uint8_t> exif(heif_image_handle_get_metadata_size(heif.handle, ids[0]));
        if (exif.size() > 4 &&
            heif_image_handle_get_metadata(heif.handle, ids[0], exif.data()).code == heif_error_Ok) {
            // A 4-byte offset to the TIFF header, then (usually) "Exif\0\0".
            const uint32_t offset = uint32_t(exif[0]) << 24 | uint32_t(exif[1]) << 16 | uint32_t(exif[2]) << 8 | exif[3];
            if (size_t(offset) + 4 < exif.size()) {
                int orientation = 0;
                readExifFields(exif.data() + 4 + offset, exif.size() - 4 - offset, &orientation,
                               &photo.hasTakenTime, &photo.takenTime);
            }
        }
    }
}

RgbImage decodeHeifFile(const PhotoInfo& photo) {
    HeifContext heif;
    openHeif(heif, photo.path);
    heif_decoding_options* options = heif_decoding_options_alloc();
    options->convert_hdr_to_8bit = 1;
    heif_error error =
        heif_decode_image(heif.handle, &heif.image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options);
    heif_decoding_options_free(options);
    if (error.code != heif_error_Ok) fail(photo.path, std::string("bad HEIF: ") + error.message);
    const int width = heif_image_get_width(heif.image, heif_channel_interleaved);
    const int height = heif_image_get_height(heif.image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(heif.image, heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0) fail(photo.path, "bad HEIF: no picture");
    RgbImage image(width, height);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.pixel(0, y), plane + size_t(y) * size_t(stride), size_t(width) * 3);
    return image;
}

}  // namespace

const char* photoFormatName(PhotoFormat format) {
    switch (format) {
        case PhotoFormat::jpeg: return "JPEG";
        case PhotoFormat::png: return "PNG";
        case PhotoFormat::webp: return "WebP";
        case PhotoFormat::heif: return "HEIF";
        default: return "unknown";
    }
}

PhotoFormat sniffPhotoFormat(const uint8_t* b, size_t size) {
    if (size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return PhotoFormat::jpeg;
    if (size >= 8 && std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) == 0) return PhotoFormat::png;
    if (size >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0) return PhotoFormat::webp;
    if (size >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0) {
        static const char* const brands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif"};
        for (const char* brand : brands)
            if (std::memcmp(b + 8, brand, 4) == 0) return PhotoFormat::heif;
    }
    return PhotoFormat::unknown;
}

bool hasPhotoExtension(const std::string& path) {
    const std::string extension = fileExtension(path);
    for (const char* known : {".jpg", ".jpeg", ".jpe", ".png", ".webp", ".heic", ".heif", ".hif"})
        if (extension == known) return true;
    return false;
}

PhotoInfo probePhoto(const std::string& path) {
    PhotoInfo photo;
    photo.path = path;
    struct stat status;
    if (stat(path.c_str(), &status) != 0) fail(path, std::strerror(errno));
    if (!S_ISREG(status.st_mode)) fail(path, "not a file");
    photo.fileTime = int64_t(status.st_mtime);
    uint8_t head[32] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) fail(path, std::strerror(errno));
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    photo.format = sniffPhotoFormat(head, got);
    switch (photo.format) {
        case PhotoFormat::jpeg: probeJpeg(photo); break;
        case PhotoFormat::png: probePng(photo, head, got); break;
        case PhotoFormat::webp: probeWebp(photo); break;
        case PhotoFormat::heif: probeHeif(photo); break;
        default: fail(path, got == 0 ? "empty file" : "not a JPEG, PNG, WebP or HEIC/HEIF picture");
    }
    if (photo.storedWidth <= 0 || photo.storedHeight <= 0) fail(path, "picture has no pixels");
    const bool turned = photo.orientation >= 5;
    photo.width = turned ? photo.storedHeight : photo.storedWidth;
    photo.height = turned ? photo.storedWidth : photo.storedHeight;
    return photo;
}

RgbImage decodePhoto(const PhotoInfo& info, double scale) {
    scale = std::min(1.0, std::max(scale, 1e-3));
    switch (info.format) {
        case PhotoFormat::jpeg: return decodeJpegScaled(info, scale);
        case PhotoFormat::png: return decodePngFile(info);
        case PhotoFormat::webp: return decodeWebpScaled(info, scale);
        case PhotoFormat::heif: return decodeHeifFile(info);
        default: fail(info.path, "not a picture");
    }
}

RgbImage orientImage(const RgbImage& image, int orientation) {
    if (orientation <= 1 || orientation > 8) return image;
    const bool turned = orientation >= 5;
    const int w = image.width, h = image.height;
    RgbImage out(turned ? h : w, turned ? w : h);
    // For each output pixel, the stored pixel it shows (EXIF orientation:
    // 2 mirror, 3 half turn, 4 flip, 5 transpose, 6 turn right, 7 transverse,
    // 8 turn left).
    for (int y = 0; y < out.height; ++y) {
        uint8_t* row = out.pixel(0, y);
        for (int x = 0; x < out.width; ++x) {
            int sx = x, sy = y;
            switch (orientation) {
                case 2: sx = w - 1 - x; sy = y; break;
                case 3: sx = w - 1 - x; sy = h - 1 - y; break;
                case 4: sx = x; sy = h - 1 - y; break;
                case 5: sx = y; sy = x; break;
                case 6: sx = y; sy = h - 1 - x; break;
                case 7: sx = w - 1 - y; sy = h - 1 - x; break;
                case 8: sx = w - 1 - y; sy = x; break;
            }
            const uint8_t* p = image.pixel(sx, sy);
            row[3 * x] = p[0];
            row[3 * x + 1] = p[1];
            row[3 * x + 2] = p[2];
        }
    }
    return out;
}

bool parseExifDateTime(const std::string& text, int64_t* seconds) {
    int year, month, day, hour, minute, second;
    if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) != 6)
        return false;
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return false;
    std::tm moment = {};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_sec = second;
    moment.tm_isdst = -1;
    const std::time_t value = std::mktime(&moment);
    if (value == std::time_t(-1)) return false;
    *seconds = int64_t(value);
    return true;
}

void readExifFields(const uint8_t* data, size_t size, int* orientation, bool* hasTime, int64_t* time) {
    *orientation = 0;
    if (!data || size < 8 || size > 0x7FFFFFFF) return;
    // libexif looks for the "Exif\0\0" header; give it one when the data
    // starts at the TIFF header.
    std::vector<uint8_t> framed;
    if (std::memcmp(data, "Exif\0\0", 6) != 0) {
        framed.assign({'E', 'x', 'i', 'f', 0, 0});
        framed.insert(framed.end(), data, data + size);
        data = framed.data();
        size = framed.size();
    }
    ExifData* exif = exif_data_new_from_data(data, unsigned(size));
    if (!exif) return;
    const ExifByteOrder order = exif_data_get_byte_order(exif);
    *orientation = exifShort(exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION), order);
    int64_t seconds = 0;
    if (parseExifDateTime(exifAscii(exif_content_get_entry(exif->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL)),
                          &seconds)) {
        *hasTime = true;
        *time = seconds;
    }
    exif_data_unref(exif);
}
