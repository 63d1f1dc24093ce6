#include "browser/model/ThumbnailDatabase.h"

#include "files/archive/Archive.h"
#include "container/Dib.h"
#include "files/imagelib/ImExp.h"
#include "files/io/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace knetix {

namespace {

constexpr std::string_view kItemClass = "CPaletteItem";
// 1601-01-01 to 1970-01-01 in 100 ns.
constexpr int64_t kEpochOffset = 116444736000000000LL;
// No sane database comes near this; a bigger file is not read at all.
constexpr uint64_t kMaxDatabaseBytes = uint64_t(1) << 30;

void fillHeader(CPaletteItem& item)
{
    const int32_t stride = thumbnailStride(item.m_width);
    item.m_thumbnail.assign(size_t(kDibHeaderSize) + size_t(stride) * size_t(item.m_height), 0);
    DibHeader header = dib24Header(item.m_width, item.m_height, 2835, 2835);
    header.sizeImage = uint32_t(stride * item.m_height);
    writeDibHeader(item.m_thumbnail.data(), header);
}

} // namespace

void thumbnailSize(int32_t w, int32_t h, int32_t& width, int32_t& height)
{
    if (int64_t(w) * kThumbBoxHeight > int64_t(h) * kThumbBoxWidth) {
        width = kThumbBoxWidth;
        height = int32_t(int64_t(h) * kThumbBoxWidth / w);
    } else {
        height = kThumbBoxHeight;
        width = int32_t(int64_t(w) * kThumbBoxHeight / h);
    }
    // A 1000 x 5 line would round to no rows; keep one so it still shows.
    width = std::max(width, 1);
    height = std::max(height, 1);
}

CPaletteItem makeThumbnail(const WA& picture)
{
    CPaletteItem item;
    if (picture.type() != WA_TYPE_24BIT || picture.width() <= 0 || picture.height() <= 0)
        return item;
    const int32_t W = picture.width();
    const int32_t H = picture.height();
    thumbnailSize(W, H, item.m_width, item.m_height);
    fillHeader(item);
    const int32_t stride = thumbnailStride(item.m_width);
    for (int32_t y = 0; y < item.m_height; ++y) {
        const uint8_t* src = picture.row(int32_t(int64_t(y) * H / item.m_height));
        uint8_t* dst = item.m_thumbnail.data() + kDibHeaderSize + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < item.m_width; ++x)
            std::memcpy(dst + 3 * x, src + 3 * (int64_t(x) * W / item.m_width), 3);
    }
    return item;
}

CPaletteItem makeThumbnailOfFile(const std::filesystem::path& file)
{
    const uint64_t stamp = fileWriteStamp(file);
    WAPtr picture;
    CPaletteItem item;
    if (ImExp_ReadFile(file, picture) == ImExpStatus::Ok && picture)
        item = makeThumbnail(*picture);
    item.setWriteTime(stamp);
    return item;
}

uint64_t fileWriteStamp(const std::filesystem::path& file)
{
    using namespace std::chrono;
    std::error_code error;
    const auto time = std::filesystem::last_write_time(file, error);
    if (error)
        return 0;
    const auto sinceUnix = duration_cast<duration<int64_t, std::ratio<1, 10000000>>>(
        file_clock::to_sys(time).time_since_epoch());
    const int64_t stamp = sinceUnix.count() + kEpochOffset;
    return stamp < 0 ? 0 : uint64_t(stamp);
}

std::vector<uint8_t> encodeThumbnailDatabase(const ThumbnailMap& database)
{
    ArchiveWriter out;
    out.writeCount(database.size());
    for (const auto& [path, item] : database) {
        out.writeString(path);
        const CPaletteItem& it = *item;
        out.writeObject(item.get(), kItemClass, [&](ArchiveWriter& w) {
            w.writeInt32(int32_t(it.m_writeTimeLow));
            w.writeInt32(int32_t(it.m_writeTimeHigh));
            const bool pixels = it.hasThumbnail();
            w.writeInt32(pixels ? it.m_width : 0);
            w.writeInt32(pixels ? it.m_height : 0);
            if (pixels)
                w.writeRaw(it.m_thumbnail.data(), it.m_thumbnail.size());
        });
    }
    return out.takeBytes();
}

bool decodeThumbnailDatabase(std::span<const uint8_t> bytes, ThumbnailMap& database)
{
    database.clear();
    try {
        ArchiveReader in(bytes);
        // A path, a reference and a record take at least 1 + 2 + 16 bytes.
        const size_t count = in.readCount(19);
        ObjectFactory factory = [](std::string_view className, ArchiveReader& r) -> std::shared_ptr<void> {
            if (className != kItemClass)
                return nullptr;
            auto item = std::make_shared<CPaletteItem>();
            item->m_writeTimeLow = uint32_t(r.readInt32());
            item->m_writeTimeHigh = uint32_t(r.readInt32());
            item->m_width = r.readInt32();
            item->m_height = r.readInt32();
            if (item->m_width == 0 || item->m_height == 0) {
                item->m_width = item->m_height = 0;
                return item;
            }
            if (item->m_width < 1 || item->m_width > kThumbBoxWidth || item->m_height < 1 ||
                item->m_height > kThumbBoxHeight)
                throw ArchiveError(ArchiveError::UnexpectedObject, "thumbnail size");
            const size_t length =
                size_t(kDibHeaderSize) + size_t(thumbnailStride(item->m_width)) * size_t(item->m_height);
            if (length > r.remaining())
                throw ArchiveError(ArchiveError::EndOfData, "thumbnail");
            item->m_thumbnail.resize(length);
            r.readRaw(item->m_thumbnail.data(), length);
            const DibHeader h = readDibHeader(item->m_thumbnail.data());
            if (h.size != kDibHeaderSize || h.width != item->m_width || h.height != item->m_height ||
                h.bitCount != 24 || h.compression != 0)
                throw ArchiveError(ArchiveError::UnexpectedObject, "thumbnail header");
            return item;
        };
        for (size_t i = 0; i < count; ++i) {
            std::string path = in.readString();
            ObjectRef ref = in.readObject(factory);
            if (!ref || !ref.isNew || ref.className != kItemClass)
                throw ArchiveError(ArchiveError::UnexpectedObject, "palette item");
            database[std::move(path)] = std::static_pointer_cast<CPaletteItem>(ref.object);
        }
        if (in.remaining() != 0)
            throw ArchiveError(ArchiveError::UnexpectedObject, "trailing bytes");
    } catch (const ArchiveError&) {
        database.clear();
        return false;
    }
    return true;
}

ThumbnailMap loadThumbnailDatabase(const std::filesystem::path& file, bool* damaged)
{
    ThumbnailMap database;
    std::vector<uint8_t> bytes;
    const int error = readWholeFile(file, bytes, kMaxDatabaseBytes);
    const bool bad = error == EFBIG || (error == 0 && !decodeThumbnailDatabase(bytes, database));
    if (damaged)
        *damaged = bad;
    return database;
}

int saveThumbnailDatabase(const std::filesystem::path& file, const ThumbnailMap& database)
{
    const std::vector<uint8_t> bytes = encodeThumbnailDatabase(database);
    return writeFileAtomically(file, bytes);
}

} // namespace knetix
