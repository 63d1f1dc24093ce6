// Reading side of the image library interface: start-up, limits, recognising a
// file, reading it into a 24-bit container and describing it.

#include "files/imagelib/ImExp.h"

// Magick++.h brings the C API (magick/api.h) in namespace MagickLib.
#include <Magick++.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace knetix {

namespace fs = std::filesystem;

namespace {

// 120 megapixels: a 12000 x 9000 camera picture still opens, and the library's
// pixel cache for it (8 bytes a pixel) stays under a gigabyte.
constexpr int64_t kDefaultMaxPixels = 120'000'000;

// No format we write stores a side above 16 bits; a header claiming more is
// damaged or hostile.
constexpr int64_t kMaxSide = 65535;

std::atomic<int64_t> g_maxPixels{kDefaultMaxPixels};
std::once_flag g_initOnce;

void applyLimits()
{
    const int64_t pixels = g_maxPixels.load();
    MagickLib::SetMagickResourceLimit(MagickLib::PixelsResource, pixels);
    MagickLib::SetMagickResourceLimit(MagickLib::WidthResource, kMaxSide);
    MagickLib::SetMagickResourceLimit(MagickLib::HeightResource, kMaxSide);
    // Room in memory for the largest accepted picture plus the decoder's own
    // buffers, but never more than the library's own share of the machine:
    // anything beyond goes to its disk cache instead of pushing us into swap.
    static const int64_t machineShare = int64_t(
        std::min<MagickLib::magick_uint64_t>(MagickLib::GetMagickResourceLimit(MagickLib::MemoryResource),
                                             uint64_t(INT64_MAX)));
    const int64_t wanted = pixels * int64_t(sizeof(MagickLib::PixelPacket)) + (256 << 20);
    MagickLib::SetMagickResourceLimit(MagickLib::MemoryResource, std::min(wanted, machineShare));
}

enum class Format { Jpeg, Pcx, Tiff, Gif, Tga, Bmp, Pcd, Png, WebP, Jxl, Avif, Heic };

const char* coderName(Format f)
{
    switch (f) {
    case Format::Jpeg: return "JPEG";
    case Format::Pcx: return "PCX";
    case Format::Tiff: return "TIFF";
    case Format::Gif: return "GIF";
    case Format::Tga: return "TGA";
    case Format::Bmp: return "BMP";
    case Format::Pcd: return "PCD";
    case Format::Png: return "PNG";
    case Format::WebP: return "WEBP";
    case Format::Jxl: return "JXL";
    case Format::Avif: return "AVIF";
    case Format::Heic: return "HEIC";
    }
    return "";
}

std::string lowerExtension(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

bool hasReadableExtension(const std::string& ext)
{
    static const std::array<const char*, 16> known = {".jpg",  ".jpeg", ".jpe", ".pcx",  ".tif", ".tiff",
                                                      ".gif",  ".tga",  ".bmp", ".pcd",  ".png", ".webp",
                                                      ".jxl",  ".avif", ".heic", ".heif"};
    return std::find(known.begin(), known.end(), ext) != known.end();
}

// Photo CD keeps its signature in the second 2 KiB sector.
constexpr size_t kHeadBytes = 2048 + 8;

// The format by its signature. TARGA has none, so there the name decides,
// after a plausibility check of the header.
std::optional<Format> recognise(const std::vector<uint8_t>& head, const std::string& ext)
{
    auto starts = [&](std::initializer_list<uint8_t> bytes, size_t at = 0) {
        return head.size() >= at + bytes.size() && std::equal(bytes.begin(), bytes.end(), head.begin() + at);
    };
    if (starts({0xFF, 0xD8, 0xFF}))
        return Format::Jpeg;
    if (starts({'G', 'I', 'F', '8'}) && head.size() >= 6 && (head[4] == '7' || head[4] == '9') && head[5] == 'a')
        return Format::Gif;
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42}) || starts({'I', 'I', 43, 0}) || starts({'M', 'M', 0, 43}))
        return Format::Tiff;
    if (starts({'B', 'M'}))
        return Format::Bmp;
    if (head.size() >= 3 && head[0] == 0x0A && head[1] <= 5 && head[1] != 1 && head[2] <= 1)
        return Format::Pcx;
    if (starts({'P', 'C', 'D', '_', 'I', 'P', 'I'}, 2048))
        return Format::Pcd;
    if (starts({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return Format::Png;
    if (starts({'R', 'I', 'F', 'F'}) && starts({'W', 'E', 'B', 'P'}, 8))
        return Format::WebP;
    if (starts({0xFF, 0x0A}) || starts({0, 0, 0, 0x0C, 'J', 'X', 'L', ' ', 0x0D, 0x0A, 0x87, 0x0A}))
        return Format::Jxl;
    // HEIF files (AVIF, HEIC) start with an ISO box "ftyp" naming their brands.
    if (starts({'f', 't', 'y', 'p'}, 4) && head.size() >= 16) {
        const uint32_t boxSize = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3];
        const size_t end = std::min<size_t>(head.size(), std::max<uint32_t>(boxSize, 16));
        bool avif = false, heif = false;
        for (size_t at = 8; at + 4 <= end; at += 4) { // the major brand, then the compatible ones
            const std::string brand(head.begin() + long(at), head.begin() + long(at) + 4);
            if (at == 12)
                continue; // the minor version
            avif = avif || brand == "avif" || brand == "avis";
            heif = heif || brand == "heic" || brand == "heix" || brand == "hevc" || brand == "hevx" ||
                   brand == "heim" || brand == "heis" || brand == "mif1" || brand == "msf1";
        }
        if (avif)
            return Format::Avif;
        if (heif)
            return Format::Heic;
    }
    if (ext == ".tga" && head.size() >= 18) {
        const uint8_t mapType = head[1], type = head[2], bits = head[16];
        const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
        const bool bitsOk = bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
        if (mapType <= 1 && typeOk && bitsOk)
            return Format::Tga;
    }
    return std::nullopt;
}

// Classifies the exception being handled.
ImExpStatus currentFailure()
{
    try {
        throw;
    } catch (const Magick::ErrorFileOpen&) {
        return ImExpStatus::NotFound;
    } catch (const Magick::ErrorMissingDelegate&) {
        return ImExpStatus::Unsupported;
    } catch (const Magick::ErrorResourceLimit&) {
        return ImExpStatus::TooLarge;
    } catch (const Magick::WarningResourceLimit&) {
        return ImExpStatus::TooLarge;
    } catch (const std::bad_alloc&) {
        return ImExpStatus::TooLarge;
    } catch (...) {
        // Everything else, corrupt-image warnings included, means the data is bad.
        return ImExpStatus::Damaged;
    }
}

// Runs a ping or read. Most warnings (unknown TIFF tags and the like) come with
// a complete picture and are ignored. A corrupt-image warning is how a truncated
// or broken JPEG shows: the decoder fills the missing rows grey and carries on.
// We refuse such a picture rather than open a silently wrong one; that also
// refuses JPEGs with merely stray bytes between markers, which is the price.
template <class Step>
void tolerateWarnings(Step&& step)
{
    try {
        step();
    } catch (const Magick::WarningCorruptImage&) {
        throw;
    } catch (const Magick::WarningResourceLimit&) {
        throw;
    } catch (const Magick::Warning&) {
    }
}

struct Probe {
    Format format = Format::Jpeg;
    std::string magickName; // what the library is told to open
    Magick::Image image; // after ping: size, depth, class, resolution
};

// Recognises the file by its contents and pings it (header only, no pixels).
ImExpStatus probeFile(const fs::path& file, Probe& probe)
{
    if (file.empty())
        return ImExpStatus::InvalidArgument;
    // Non-blocking so that a FIFO given as a picture cannot hang us; only
    // regular files are pictures.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ImExpStatus::NotFound;
    struct stat st {};
    std::vector<uint8_t> head(kHeadBytes);
    size_t got = 0;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    while (regular && got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    if (!regular)
        return ImExpStatus::NotFound;
    head.resize(got);

    const std::string ext = lowerExtension(file);
    const std::optional<Format> format = recognise(head, ext);
    if (!format)
        return hasReadableExtension(ext) ? ImExpStatus::Damaged : ImExpStatus::Unsupported;
    probe.format = *format;
    // The explicit coder keeps the library from guessing by name or content
    // (which could reach its text, script or vector readers); the frame suffix
    // selects the first frame, or Photo CD's 768 x 512 base image, and shields
    // a file name that itself ends in brackets.
    probe.magickName = std::string(coderName(*format)) + ":" + file.string() + (*format == Format::Pcd ? "[3]" : "[0]");
    tolerateWarnings([&] { probe.image.ping(probe.magickName); });
    if (probe.image.columns() == 0 || probe.image.rows() == 0)
        return ImExpStatus::Damaged;
    return ImExpStatus::Ok;
}

bool withinLimits(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= g_maxPixels.load();
}

int32_t toDpi(double resolution, MagickLib::ResolutionType units)
{
    if (!std::isfinite(resolution) || resolution <= 0)
        return 0;
    double dpi = 0;
    if (units == MagickLib::PixelsPerInchResolution)
        dpi = resolution;
    else if (units == MagickLib::PixelsPerCentimeterResolution)
        dpi = resolution * 2.54;
    return int32_t(std::clamp(std::lround(dpi), 0L, 65535L));
}

// The picture as 24-bit bottom-up rows. Alpha is flattened on white, the way
// a transparent picture looks on a page; dropping it would show whatever colour
// the transparent pixels happen to hold (often black).
WAPtr toContainer(Magick::Image& image)
{
    const MagickLib::ColorspaceType space = image.colorSpace();
    if (space != MagickLib::RGBColorspace && space != MagickLib::GRAYColorspace) // CMYK JPEGs, for one
        image.colorSpace(MagickLib::RGBColorspace);
    const int32_t width = int32_t(image.columns());
    const int32_t height = int32_t(image.rows());
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, width, height);
    const bool alpha = image.matte();
    std::vector<uint8_t> bgra(alpha ? size_t(width) * 4 : 0);
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = picture->row(height - 1 - y);
        if (!alpha) {
            image.write(0, y, unsigned(width), 1, "BGR", Magick::CharPixel, row);
            continue;
        }
        image.write(0, y, unsigned(width), 1, "BGRA", Magick::CharPixel, bgra.data());
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &bgra[size_t(x) * 4];
            const unsigned a = p[3];
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = uint8_t((p[c] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    picture->setResolution(uint16_t(toDpi(image.xResolution(), image.resolutionUnits())),
                           uint16_t(toDpi(image.yResolution(), image.resolutionUnits())));
    return picture;
}

// TIFF's ping does not tell samples per pixel, so for the information window
// the first directory is read here: samples x bits per sample.
std::optional<int32_t> tiffBitsPerPixel(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    uint8_t header[8];
    if (!in.read(reinterpret_cast<char*>(header), 8))
        return std::nullopt;
    const bool little = header[0] == 'I';
    auto get = [little](const uint8_t* p, int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= uint32_t(p[little ? i : bytes - 1 - i]) << (8 * i);
        return v;
    };
    if (get(header + 2, 2) != 42) // classic TIFF only
        return std::nullopt;
    uint8_t countBytes[2];
    if (!in.seekg(get(header + 4, 4)) || !in.read(reinterpret_cast<char*>(countBytes), 2))
        return std::nullopt;
    const uint32_t count = get(countBytes, 2);
    std::vector<uint8_t> entries(size_t(count) * 12);
    if (!in.read(reinterpret_cast<char*>(entries.data()), std::streamsize(entries.size())))
        return std::nullopt;
    uint32_t samples = 1, bits = 1; // the defaults when a tag is absent
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = &entries[size_t(i) * 12];
        const uint32_t tag = get(e, 2), type = get(e + 2, 2), n = get(e + 4, 4);
        if (type != 3 || n == 0) // SHORT values only; anything else is not a sane file
            continue;
        uint32_t first = get(e + 8, 2);
        if (tag == 258 && n > 2) { // several bits-per-sample values live elsewhere; the first stands for all
            uint8_t v[2];
            std::streampos back = in.tellg();
            if (!in.seekg(get(e + 8, 4)) || !in.read(reinterpret_cast<char*>(v), 2))
                return std::nullopt;
            in.seekg(back);
            first = get(v, 2);
        }
        if (tag == 258)
            bits = first;
        else if (tag == 277)
            samples = first;
    }
    if (bits == 0 || bits > 64 || samples == 0 || samples > 16)
        return std::nullopt;
    return int32_t(samples * bits);
}

int32_t bitsPerPixelFromPing(const MagickLib::Image* im)
{
    if (im->storage_class == MagickLib::PseudoClass && im->colors > 0) {
        int32_t bits = 1;
        while (bits < 16 && (1UL << bits) < im->colors)
            ++bits;
        return bits;
    }
    int32_t channels = im->colorspace == MagickLib::CMYKColorspace ? 4 : im->colorspace == MagickLib::GRAYColorspace ? 1 : 3;
    if (im->matte)
        ++channels;
    return channels * int32_t(im->depth);
}

} // namespace

void ImExp_Initialize()
{
    std::call_once(g_initOnce, [] {
        // Without the library's own signal handlers: a SIGTERM is the
        // program's to answer (it writes its settings), not the library's.
        MagickLib::ExceptionInfo exception;
        MagickLib::GetExceptionInfo(&exception);
        MagickLib::InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &exception);
        MagickLib::DestroyExceptionInfo(&exception);
        applyLimits();
    });
}

int64_t ImExp_MaxPixels()
{
    return g_maxPixels.load();
}

void ImExp_SetMaxPixels(int64_t pixels)
{
    ImExp_Initialize();
    g_maxPixels.store(std::clamp<int64_t>(pixels, 1, kMaxSide * kMaxSide));
    applyLimits();
}

ImExpStatus ImExp_ReadFile(const fs::path& file, WAPtr& picture)
{
    try {
        ImExp_Initialize();
        Probe probe;
        const ImExpStatus status = probeFile(file, probe);
        if (status != ImExpStatus::Ok)
            return status;
        // Decided on the header alone, before any pixel memory exists.
        if (!withinLimits(probe.image.columns(), probe.image.rows()))
            return ImExpStatus::TooLarge;

        Magick::Image image;
        tolerateWarnings([&] { image.read(probe.magickName); });
        if (image.columns() == 0 || image.rows() == 0)
            return ImExpStatus::Damaged;
        if (!withinLimits(image.columns(), image.rows()))
            return ImExpStatus::TooLarge;
        picture = toContainer(image);
        return ImExpStatus::Ok;
    } catch (...) {
        return currentFailure();
    }
}

bool FindReader(const fs::path& file)
{
    try {
        ImExp_Initialize();
        Probe probe;
        return probeFile(file, probe) == ImExpStatus::Ok;
    } catch (...) {
        return false;
    }
}

std::string ImExp_LibraryName()
{
    // "GraphicsMagick 1.3.40 2023-01-14 Q16 http://..." -> the first two words.
    const std::string full = MagickLib::GetMagickVersion(nullptr);
    const size_t second = full.find(' ');
    const size_t end = second == std::string::npos ? second : full.find(' ', second + 1);
    return full.substr(0, end);
}

bool ImExp_HasPictureExtension(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return hasReadableExtension(ext);
}

std::optional<ImageFileInfo> ImExp_ShowFileInfo(const fs::path& file)
{
    try {
        ImExp_Initialize();
        Probe probe;
        if (probeFile(file, probe) != ImExpStatus::Ok)
            return std::nullopt;
        const Magick::Image& image = probe.image;
        ImageFileInfo info;
        info.format = image.magick();
        info.description = Magick::CoderInfo(info.format).description();
        info.width = int32_t(std::min<int64_t>(image.columns(), INT32_MAX));
        info.height = int32_t(std::min<int64_t>(image.rows(), INT32_MAX));
        std::optional<int32_t> bits;
        if (probe.format == Format::Tiff)
            bits = tiffBitsPerPixel(file);
        info.bitsPerPixel = bits.value_or(bitsPerPixelFromPing(image.constImage()));
        info.horizontalDpi = toDpi(image.xResolution(), image.resolutionUnits());
        info.verticalDpi = toDpi(image.yResolution(), image.resolutionUnits());
        std::error_code ec;
        const auto size = fs::file_size(file, ec);
        info.fileSize = ec ? 0 : uint64_t(size);
        return info;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace knetix
