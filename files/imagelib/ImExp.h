#pragma once
// The image library interface: picture files in and out through GraphicsMagick.
// Reads JPEG, PCX, TIFF, GIF, TARGA, BMP and Photo CD, and PNG, WebP, JPEG XL,
// AVIF and HEIC; writes JPEG, PCX, TIFF, TARGA, BMP, PNG and WebP. Everything arrives as 24-bit rows; a damaged, truncated or
// oversized file gives a failure, never a crash or a hang.

#include "container/Dib.h"
#include "container/WA.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace knetix {

// Why a call failed; the callers turn these into their own messages.
enum class ImExpStatus {
    Ok,
    NotFound,        // the file does not exist or cannot be opened
    Unsupported,     // no reader or writer for this format
    Damaged,         // the file is corrupt or truncated
    TooLarge,        // the picture would not fit the memory limit
    WriteFailed,     // the target could not be written
    InvalidArgument, // a bad source buffer or an empty name
};

// Initialises the library once (main thread, before any other use) and sets
// its memory limits; the other calls do it themselves if needed.
void ImExp_Initialize();

// Largest picture accepted, in pixels (width x height); larger ones are refused
// before any pixel memory is allocated.
int64_t ImExp_MaxPixels();
void ImExp_SetMaxPixels(int64_t pixels);

// Reads a picture file into a 24-bit container (type 16, rows in blue, green,
// red order, row 0 = the bottom picture row, as the first row in memory of a
// bottom-up buffer) with its resolution. Photo CD files give their 768 x 512
// base image. On failure `picture` is left untouched.
ImExpStatus ImExp_ReadFile(const std::filesystem::path& file, WAPtr& picture);

// Writes a 24-bit bottom-up picture; the format follows the file name's
// extension (.JPG, .PCX, .TIF/.TIFF, .TGA, .BMP, .PNG (lossless), .WEBP
// (quality 90), case-insensitive). The library
// is told (pixels per metre * 254 + 5000) / 10000 dots per inch. The file is
// written under a temporary name in the same folder and renamed over the target
// only when complete, so a failed write never destroys an existing file.
ImExpStatus ImExp_WriteFile(const std::filesystem::path& file, const Bitmap24View& source);

// The image library's name and version, e.g. "GraphicsMagick 1.3.40".
std::string ImExp_LibraryName();

// True if a reader accepts the file (its contents, not its name, decide).
bool FindReader(const std::filesystem::path& file);

// True if the name ends in the extension of a format the library reads
// (.jpg, .jpeg, .jpe, .pcx, .tif, .tiff, .gif, .tga, .bmp, .pcd, .png, .webp,
// .jxl, .avif, .heic, .heif; any case):
// such a file is meant to be a picture, whether or not it can be read.
bool ImExp_HasPictureExtension(const std::filesystem::path& file);

// What the information window shows about a picture file.
struct ImageFileInfo {
    std::string format;      // e.g. "JPEG", "BMP"
    std::string description; // the library's name of the format
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0; // colour depth of the file
    int32_t horizontalDpi = 0; // 0 when the file gives none
    int32_t verticalDpi = 0;
    uint64_t fileSize = 0;   // bytes
};

// The data for the information window, read without decoding the pixels where
// the format allows; nullopt when no reader accepts the file.
std::optional<ImageFileInfo> ImExp_ShowFileInfo(const std::filesystem::path& file);

} // namespace knetix
