// Writing side of the image library interface: a 24-bit bottom-up picture
// encoded in memory, then put in place through a temporary file so that a
// failed save never costs the file it was meant to replace.

#include "files/imagelib/ImExp.h"
#include "files/io/AtomicFile.h"

#include <Magick++.h>

#include <algorithm>
#include <cctype>

namespace knetix {

namespace fs = std::filesystem;

namespace {

using MagickLib::Quantum; // for the library's scaling macros

struct Writer {
    const char* coder;
    MagickLib::CompressionType compression;
};

std::optional<Writer> writerFor(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    // Explicit coders so the temporary name never decides; BMP3 is the plain
    // 40-byte header without the later versions' alpha masks.
    if (ext == ".jpg" || ext == ".jpeg")
        return Writer{"JPEG", MagickLib::UndefinedCompression};
    if (ext == ".pcx")
        return Writer{"PCX", MagickLib::UndefinedCompression};
    if (ext == ".tif" || ext == ".tiff")
        return Writer{"TIFF", MagickLib::NoCompression};
    if (ext == ".tga")
        return Writer{"TGA", MagickLib::NoCompression};
    if (ext == ".bmp")
        return Writer{"BMP3", MagickLib::NoCompression};
    if (ext == ".png")
        return Writer{"PNG", MagickLib::UndefinedCompression};
    if (ext == ".webp")
        return Writer{"WEBP", MagickLib::UndefinedCompression};
    return std::nullopt;
}

Magick::Image toMagick(const Bitmap24View& source)
{
    const auto width = unsigned(source.width);
    Magick::Image image(Magick::Geometry(width, unsigned(source.height)), Magick::Color(0, 0, 0));
    // A plain-colour start is a one-entry palette picture; the writers would
    // take its palette indexes over the pixels we set.
    image.classType(MagickLib::DirectClass);
    for (int32_t y = 0; y < source.height; ++y) {
        const uint8_t* bgr = source.storedRow(source.height - 1 - y); // stored bottom row first
        MagickLib::PixelPacket* q = image.setPixels(0, y, width, 1);
        for (unsigned x = 0; x < width; ++x, bgr += 3) {
            q[x].blue = ScaleCharToQuantum(bgr[0]);
            q[x].green = ScaleCharToQuantum(bgr[1]);
            q[x].red = ScaleCharToQuantum(bgr[2]);
            q[x].opacity = OpaqueOpacity;
        }
        image.syncPixels();
    }
    // Said outright so that no writer picks a palette or grey layout for a
    // picture that happens to use few colours.
    image.type(MagickLib::TrueColorType);
    image.matte(false);
    image.depth(8);

    int32_t xDpi = pixelsPerMetreToDpi(source.xPelsPerMeter);
    int32_t yDpi = pixelsPerMetreToDpi(source.yPelsPerMeter);
    if (xDpi <= 0)
        xDpi = yDpi;
    if (yDpi <= 0)
        yDpi = xDpi;
    if (xDpi > 0) {
        image.resolutionUnits(MagickLib::PixelsPerInchResolution);
        image.density(Magick::Geometry(unsigned(xDpi), unsigned(yDpi)));
    }
    return image;
}


} // namespace

ImExpStatus ImExp_WriteFile(const fs::path& file, const Bitmap24View& source)
{
    if (file.empty() || !file.has_filename() || !source.valid())
        return ImExpStatus::InvalidArgument;
    const std::optional<Writer> writer = writerFor(file);
    if (!writer)
        return ImExpStatus::Unsupported;
    try {
        ImExp_Initialize();
        Magick::Image image = toMagick(source);
        image.magick(writer->coder);
        if (writer->compression != MagickLib::UndefinedCompression)
            image.compressType(writer->compression);
        // JPEG and WebP at quality 90; PNG is lossless whatever the number says.
        if (std::string(writer->coder) == "JPEG" || std::string(writer->coder) == "WEBP")
            image.quality(90);
        Magick::Blob blob;
        try {
            image.write(&blob);
        } catch (const Magick::Warning&) {
            // The encoded data is there or not; the length below decides.
        }
        if (blob.length() == 0)
            return ImExpStatus::WriteFailed;
        return writeFileAtomically(file, {static_cast<const uint8_t*>(blob.data()), blob.length()}) == 0
                   ? ImExpStatus::Ok
                   : ImExpStatus::WriteFailed;
    } catch (const Magick::ErrorResourceLimit&) {
        return ImExpStatus::TooLarge;
    } catch (const std::bad_alloc&) {
        return ImExpStatus::TooLarge;
    } catch (...) {
        return ImExpStatus::WriteFailed;
    }
}

} // namespace knetix
