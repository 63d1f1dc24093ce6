#include "document/ProjectFile.h"

#include "engine/Stroke.h"
#include "engine/ToolFactory.h"
#include "engine/WorkingPicture.h"
#include "container/Dib.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace knetix {

static_assert(std::endian::native == std::endian::little,
              "cells and pixel rows are stored as they lie in memory");

namespace {

constexpr int32_t kThumbnailDescriptionPad = 4;
// No canvas window is larger than this; a stored rectangle beyond it is damage.
constexpr int32_t kMaxClientCoordinate = 65535;
constexpr int32_t kMaxStripSide = 4096;

[[noreturn]] void damaged(const char* detail)
{
    throw ArchiveError(ArchiveError::BadIndex, detail);
}

void need(const ArchiveReader& in, uint64_t bytes)
{
    if (bytes > in.remaining())
        throw ArchiveError(ArchiveError::EndOfData, "block longer than the data left");
}

// ---- writing ----

void writeCells(ArchiveWriter& out, const OffsetCell* cells, int32_t count)
{
    if (count <= 0)
        return;
    if (cells) {
        out.writeRaw(cells, size_t(count) * sizeof(OffsetCell));
    } else {
        const std::vector<uint8_t> zeros(size_t(count) * sizeof(OffsetCell), 0);
        out.writeRaw(zeros.data(), zeros.size());
    }
}

void writeMaskRecord(ArchiveWriter& out, const CMMask& mask)
{
    out.writeInt32(mask.cellCount());
    writeCells(out, mask.cells(), mask.cellCount());
    const ThumbnailBitmap& t = mask.thumbnail();
    const bool present = !t.isEmpty();
    out.writeInt32(present ? 1 : 0);
    if (!present)
        return;
    out.writeInt32(t.type);
    out.writeInt32(t.width);
    out.writeInt32(t.height);
    out.writeInt32(t.bytesPerRow);
    out.writeWord(t.planes);
    out.writeWord(t.bitsPerPixel);
    const uint8_t pad[kThumbnailDescriptionPad] = {};
    out.writeRaw(pad, sizeof pad);
    std::vector<uint8_t> rows(size_t(t.bytesPerRow) * size_t(t.height), 0);
    std::copy_n(t.bits.begin(), std::min(rows.size(), t.bits.size()), rows.begin());
    out.writeRaw(rows.data(), rows.size());
}

void writeMask(ArchiveWriter& out, const CMMask& mask)
{
    out.writeObject(&mask, CMMask::kClassName, [&](ArchiveWriter& o) { writeMaskRecord(o, mask); });
}

void writeToolRecord(ArchiveWriter& out, const CMTool& tool)
{
    const ToolRecord r = tool.record();
    out.writeInt32(r.value);
    for (int32_t v : {r.radius, r.radiusSquared, r.diameter, r.pictureWidth, r.pictureHeight,
                      r.strokeActive, r.lastX, r.lastY})
        out.writeInt32(v);
    out.writeDouble(r.angle);
    out.writeInt32(r.directionSine);
    out.writeInt32(r.directionCosine);
}

void writeCanvas(ArchiveWriter& out, const WorkingPicture& picture, const StrokePatch& patch,
                 const std::string& folder)
{
    out.writeString(storedPicturePath(picture.picturePath(), folder));
    const Rect& rect = picture.pictureRect();
    for (int32_t v : {rect.left, rect.top, rect.right, rect.bottom})
        out.writeInt32(v);
    out.writeInt32(patch.radius());
    out.writeInt32(patch.count());
    writeCells(out, patch.cells(), patch.count());
    if (!picture.hasPicture()) {
        out.writeInt32(0);
        return;
    }
    const auto& block = picture.pictureBlock();
    out.writeInt32(int32_t(block.size()));
    out.writeRaw(block.data(), block.size());
    out.writeRaw(picture.sourceBits().data(), picture.sourceBits().size());
    out.writeInt32(picture.stride());
}

void writeFilmstrip(ArchiveWriter& out, const KeyListState& s)
{
    out.writeCount(s.keys.size());
    for (const auto& key : s.keys)
        writeMask(out, *key);
    for (int32_t v : {s.thumbnailWidth, s.thumbnailHeight, s.stripWidth, s.stripHeight,
                      s.pictureWidth, s.pictureHeight, s.cellCount, s.firstVisible, s.activeKey,
                      s.menuKey, s.playback.phase, s.playback.currentKey, s.playback.nextKey,
                      s.playback.playParameter})
        out.writeInt32(v);
    out.writeInt32(s.blend ? 1 : 0);
    if (s.blend)
        writeMask(out, *s.blend);
}

// ---- reading ----

std::unique_ptr<OffsetCell[]> readCells(ArchiveReader& in, int32_t count)
{
    if (count < 0)
        damaged("negative cell count");
    if (count == 0)
        return nullptr;
    need(in, uint64_t(count) * sizeof(OffsetCell));
    auto cells = allocateCells(count);
    if (!cells)
        throw std::bad_alloc();
    in.readRaw(cells.get(), size_t(count) * sizeof(OffsetCell));
    return cells;
}

void readMaskRecord(ArchiveReader& in, CMMask& mask)
{
    const int32_t count = in.readInt32();
    auto cells = readCells(in, count);
    mask.replaceCells(std::move(cells), count);
    if (in.readInt32() == 0)
        return;
    ThumbnailBitmap t;
    t.type = in.readInt32();
    t.width = in.readInt32();
    t.height = in.readInt32();
    t.bytesPerRow = in.readInt32();
    t.planes = in.readWord();
    t.bitsPerPixel = in.readWord();
    uint8_t pad[kThumbnailDescriptionPad];
    in.readRaw(pad, sizeof pad);
    const uint16_t bpp = t.bitsPerPixel;
    if (t.width < 0 || t.height < 0 || t.bytesPerRow < 0 || t.planes != 1 ||
        !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) ||
        int64_t(t.bytesPerRow) * 8 < int64_t(t.width) * bpp)
        damaged("thumbnail description");
    const uint64_t size = uint64_t(t.bytesPerRow) * uint64_t(t.height);
    need(in, size);
    t.bits.resize(size_t(size));
    in.readRaw(t.bits.data(), t.bits.size());
    mask.setThumbnail(std::move(t));
}

// Holders let an object made by the reader's factory be taken over whole.
struct MaskHolder {
    std::unique_ptr<CMMask> mask;
};
struct ToolHolder {
    std::unique_ptr<CMTool> tool;
};

std::unique_ptr<CMMask> readMask(ArchiveReader& in, bool allowNull)
{
    const ObjectRef ref = in.readObject([](std::string_view className, ArchiveReader& r) -> std::shared_ptr<void> {
        if (className != CMMask::kClassName)
            return nullptr;
        auto holder = std::make_shared<MaskHolder>();
        holder->mask = std::make_unique<CMMask>();
        readMaskRecord(r, *holder->mask);
        return holder;
    });
    if (!ref) {
        if (allowNull)
            return nullptr;
        damaged("a key or blend field is missing");
    }
    if (ref.className != CMMask::kClassName)
        throw ArchiveError(ArchiveError::UnexpectedObject, "not a mask");
    if (!ref.isNew)
        damaged("one mask named twice");
    return std::move(static_cast<MaskHolder*>(ref.object.get())->mask);
}

void readToolRecord(ArchiveReader& in, CMTool& tool)
{
    ToolRecord r;
    r.value = in.readInt32();
    for (int32_t* v : {&r.radius, &r.radiusSquared, &r.diameter, &r.pictureWidth, &r.pictureHeight,
                       &r.strokeActive, &r.lastX, &r.lastY})
        *v = in.readInt32();
    r.angle = in.readDouble();
    r.directionSine = in.readInt32();
    r.directionCosine = in.readInt32();
    if (r.value < 0 || r.value > 64 || r.radius < 0 || r.radius > CMTool::kMaxRadius ||
        r.pictureWidth < 0 || r.pictureHeight < 0 || !std::isfinite(r.angle))
        damaged("tool record");
    tool.restore(r);
}

std::unique_ptr<CMTool> readTool(ArchiveReader& in)
{
    const ObjectRef ref = in.readObject([](std::string_view className, ArchiveReader& r) -> std::shared_ptr<void> {
        auto tool = createToolByClassName(className);
        if (!tool)
            return nullptr;
        readToolRecord(r, *tool);
        auto holder = std::make_shared<ToolHolder>();
        holder->tool = std::move(tool);
        return holder;
    });
    if (!ref)
        return nullptr;
    if (!ref.isNew || !createToolByClassName(ref.className))
        throw ArchiveError(ArchiveError::UnexpectedObject, "not a tool");
    return std::move(static_cast<ToolHolder*>(ref.object.get())->tool);
}

CanvasState readCanvas(ArchiveReader& in, const std::string& folder)
{
    CanvasState c;
    c.picturePath = resolvedPicturePath(in.readString(), folder);
    c.rect.left = in.readInt32();
    c.rect.top = in.readInt32();
    c.rect.right = in.readInt32();
    c.rect.bottom = in.readInt32();
    c.toolRadius = in.readInt32();
    c.patchCount = in.readInt32();
    if (c.toolRadius < 0 || c.toolRadius > CMTool::kMaxRadius)
        damaged("tool radius");
    const int32_t side = 2 * c.toolRadius + 1;
    if (c.patchCount != 0 && c.patchCount != side * side)
        damaged("stroke patch size");
    c.patch = readCells(in, c.patchCount);

    const int32_t length = in.readInt32();
    if (length == 0)
        return c;
    if (length < int32_t(kDibHeaderSize))
        damaged("picture block length");
    // Both blocks must be there before either is allocated.
    need(in, uint64_t(length) * 2 - kDibHeaderSize + 4);
    c.block.resize(size_t(length));
    in.readRaw(c.block.data(), c.block.size());
    c.source.resize(size_t(length) - kDibHeaderSize);
    in.readRaw(c.source.data(), c.source.size());
    c.stride = in.readInt32();

    const Rect& r = c.rect;
    if (r.left < 0 || r.top < 0 || r.right > kMaxClientCoordinate || r.bottom > kMaxClientCoordinate ||
        r.width() < WorkingPicture::kMinimumSide || r.height() < WorkingPicture::kMinimumSide)
        damaged("picture rectangle");
    const DibHeader header = readDibHeader(c.block.data());
    if (header.size != kDibHeaderSize || header.width != r.width() || header.height != r.height() ||
        header.planes != 1 || header.bitCount != 24 || header.compression != 0 ||
        c.stride != dibStride24(r.width()) ||
        uint64_t(length) - kDibHeaderSize != uint64_t(c.stride) * uint64_t(r.height()))
        damaged("picture header");
    return c;
}

KeyListState readFilmstrip(ArchiveReader& in)
{
    KeyListState s;
    // A key is at least its two-byte reference.
    const size_t count = in.readCount(2);
    for (size_t i = 0; i < count; ++i)
        s.keys.push_back(readMask(in, false));
    for (int32_t* v : {&s.thumbnailWidth, &s.thumbnailHeight, &s.stripWidth, &s.stripHeight,
                       &s.pictureWidth, &s.pictureHeight, &s.cellCount, &s.firstVisible,
                       &s.activeKey, &s.menuKey, &s.playback.phase, &s.playback.currentKey,
                       &s.playback.nextKey, &s.playback.playParameter})
        *v = in.readInt32();
    if (in.readInt32() != 0)
        s.blend = readMask(in, false);
    return s;
}

// The filmstrip must fit the canvas and itself: sizes, cell counts and the
// active key. Fields that nothing reads before they are set again are
// settled, not refused.
void checkFilmstrip(const KeyListState& s, const CanvasState& canvas)
{
    const int32_t n = int32_t(s.keys.size());
    if (s.stripHeight < 1 || s.stripWidth > kMaxStripSide || s.stripWidth / s.stripHeight < 2)
        damaged("strip size");
    if (!canvas.hasPicture()) {
        if (n != 0 || s.blend || s.pictureWidth != 0 || s.pictureHeight != 0 || s.cellCount != 0 ||
            s.thumbnailWidth != 0 || s.thumbnailHeight != 0)
            damaged("keys without a picture");
        return;
    }
    const int32_t W = canvas.rect.width(), H = canvas.rect.height();
    if (s.pictureWidth != W || s.pictureHeight != H || int64_t(s.cellCount) != int64_t(W) * H)
        damaged("picture size of the keys");
    if (s.thumbnailWidth < 0 || s.thumbnailWidth > W || s.thumbnailHeight < 0 || s.thumbnailHeight > H)
        damaged("thumbnail size");
    for (const auto& key : s.keys)
        if (key->cellCount() != s.cellCount)
            damaged("cell count of a key");
    if (s.blend && s.blend->cellCount() != s.cellCount)
        damaged("cell count of the blend field");
    // The canvas edits the active key at once; the other indices are settled
    // after this check.
    if (s.activeKey < 0 || s.activeKey >= n)
        damaged("active key");
}

struct ToolIds {
    ToolKind kind;
    int32_t idSmall, idMedium, idLarge;
};

constexpr ToolIds kToolIds[] = {
    {ToolKind::ZoomIn, 152, 153, 154}, {ToolKind::ZoomOut, 155, 156, 157}, {ToolKind::Zoom, 158, 159, 160},
    {ToolKind::Move, 161, 162, 163},   {ToolKind::Undo, 165, 166, 167},    {ToolKind::Smooth, 168, 169, 170},
    {ToolKind::Whirl, 173, 174, 175},
};

} // namespace

int32_t toolBitmapId(ToolKind kind, int32_t divisor)
{
    for (const ToolIds& t : kToolIds)
        if (t.kind == kind)
            return divisor == kDivisorSmall ? t.idSmall : divisor == kDivisorMedium ? t.idMedium : t.idLarge;
    return 0;
}

std::optional<ToolSelection> set_tool_from_id(int32_t id)
{
    for (const ToolIds& t : kToolIds) {
        if (id == t.idSmall)
            return ToolSelection{toolName(t.kind), kDivisorSmall};
        if (id == t.idMedium)
            return ToolSelection{toolName(t.kind), kDivisorMedium};
        if (id == t.idLarge)
            return ToolSelection{toolName(t.kind), kDivisorLarge};
    }
    return std::nullopt;
}

std::string projectFolder(const std::filesystem::path& projectFile)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(projectFile, ec);
    if (ec)
        absolute = projectFile;
    std::string folder = absolute.lexically_normal().parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string storedPicturePath(const std::string& path, const std::string& folder)
{
    if (!folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0)
        return path.substr(folder.size());
    return path;
}

std::string resolvedPicturePath(const std::string& stored, const std::string& folder)
{
    const bool foreignAbsolute = stored.rfind("\\\\", 0) == 0 || stored.find(':') != std::string::npos;
    std::string path = stored;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || foreignAbsolute || path.front() == '/')
        return path;
    return folder + path;
}

std::vector<uint8_t> encodeProject(const ProjectSource& source, const std::string& folder)
{
    ArchiveWriter out;
    writeCanvas(out, source.picture, source.patch, folder);
    writeFilmstrip(out, source.keys.state());
    if (source.tool)
        out.writeObject(source.tool, source.tool->className(),
                        [&](ArchiveWriter& o) { writeToolRecord(o, *source.tool); });
    else
        out.writeObject(nullptr, {}, {});
    out.writeInt32(source.toolBitmapId);
    return out.takeBytes();
}

Project decodeProject(std::span<const uint8_t> data, const std::string& folder)
{
    ArchiveReader in(data);
    Project p;
    p.canvas = readCanvas(in, folder);
    p.filmstrip = readFilmstrip(in);
    checkFilmstrip(p.filmstrip, p.canvas);
    settleStrayIndices(p.filmstrip);
    p.tool = readTool(in);
    p.toolBitmapId = in.readInt32();
    return p;
}

} // namespace knetix
