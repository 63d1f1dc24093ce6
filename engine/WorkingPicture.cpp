#include "engine/WorkingPicture.h"

#include "engine/CMTool.h"
#include "engine/FixedPoint.h"
#include "container/Dib.h"
#include "container/WA.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace knetix {

WorkingPicture::WorkingPicture(int32_t clientWidth, int32_t clientHeight)
    : m_clientWidth(std::max(clientWidth, 0)), m_clientHeight(std::max(clientHeight, 0))
{
}

const uint8_t* WorkingPicture::displayedBits() const
{
    return m_block.empty() ? nullptr : m_block.data() + kDibHeaderSize;
}

uint8_t* WorkingPicture::editableDisplayedBits()
{
    return m_block.empty() ? nullptr : m_block.data() + kDibHeaderSize;
}

Bitmap24View WorkingPicture::displayedView() const
{
    if (!hasPicture())
        return {};
    const DibHeader header = readDibHeader(m_block.data());
    return Bitmap24View{width(), height(), m_stride, displayedBits(), header.xPelsPerMeter,
                        header.yPelsPerMeter};
}

Bitmap24View WorkingPicture::sourceView() const
{
    if (!hasPicture())
        return {};
    const Bitmap24View shown = displayedView();
    return Bitmap24View{shown.width, shown.height, shown.stride, m_source.data(), shown.xPelsPerMeter,
                        shown.yPelsPerMeter};
}

PictureBuffers WorkingPicture::buffers()
{
    return PictureBuffers{m_source.data(), m_block.data() + kDibHeaderSize, width(), height(),
                          m_stride};
}

template <class SourceRow>
LoadResult WorkingPicture::fit(const std::string& path, int32_t w, int32_t h,
                               int32_t pixelsPerMetre, SourceRow sourceRow)
{
    if (w <= 0 || h <= 0)
        return LoadResult::Invalid;
    const int64_t cw = m_clientWidth, ch = m_clientHeight;
    Rect rect;
    if (int64_t(h) * cw < int64_t(w) * ch) {
        const int64_t fh = int64_t(h) * cw / w;
        rect = Rect{0, int32_t((ch - fh) / 2), int32_t(cw), int32_t((ch - fh) / 2 + fh)};
    } else {
        const int64_t fw = int64_t(w) * ch / h;
        rect = Rect{int32_t((cw - fw) / 2), 0, int32_t((cw - fw) / 2 + fw), int32_t(ch)};
    }
    const int32_t W = rect.width(), H = rect.height();
    if (W < kMinimumSide || H < kMinimumSide)
        return LoadResult::TooSmall;

    const int32_t stride = dibStride24(W);
    const size_t imageSize = size_t(stride) * size_t(H);
    std::vector<uint8_t> block, source;
    try {
        block.resize(kDibHeaderSize + imageSize);
        source.resize(imageSize);
    } catch (const std::bad_alloc&) {
        return LoadResult::NoMemory;
    }

    // Nearest pixel: stored row i takes source row i * h / H, pixel j takes
    // source pixel j * w / W.
    for (int64_t i = 0; i < H; ++i) {
        const uint8_t* in = sourceRow(int32_t(i * h / H));
        if (!in)
            return LoadResult::Invalid;
        uint8_t* out = source.data() + i * stride;
        for (int64_t j = 0; j < W; ++j) {
            const uint8_t* s = in + 3 * (j * w / W);
            out[3 * j] = s[0];
            out[3 * j + 1] = s[1];
            out[3 * j + 2] = s[2];
        }
    }

    writeDibHeader(block.data(), dib24Header(W, H, pixelsPerMetre, pixelsPerMetre));
    std::memcpy(block.data() + kDibHeaderSize, source.data(), imageSize);
    adopt(path, rect, std::move(block), std::move(source), stride);
    return LoadResult::Ok;
}

LoadResult WorkingPicture::loadFromContainer(const std::string& path, const WA& picture)
{
    if (picture.type() != WA_TYPE_24BIT)
        return LoadResult::Invalid;
    return fit(path, picture.width(), picture.height(), kFilePixelsPerMetre,
               [&picture](int32_t k) { return picture.row(k); });
}

LoadResult WorkingPicture::loadFromPackedDib(const std::string& path, const uint8_t* block,
                                             size_t length)
{
    Bitmap24View view;
    if (!parsePackedDib24(block, length, view))
        return LoadResult::Invalid;
    return fit(path, view.width, view.height, 0,
               [&view](int32_t k) { return view.storedRow(k); });
}

LoadResult WorkingPicture::restore(const std::string& path, const Rect& rect,
                                   std::vector<uint8_t> block, std::vector<uint8_t> source,
                                   int32_t stride)
{
    const int64_t W = int64_t(rect.right) - rect.left, H = int64_t(rect.bottom) - rect.top;
    if (W < kMinimumSide || H < kMinimumSide || W > std::numeric_limits<int32_t>::max() / 4 ||
        stride != dibStride24(int32_t(W)))
        return LoadResult::Invalid;
    const uint64_t imageSize = uint64_t(stride) * uint64_t(H);
    if (block.size() != kDibHeaderSize + imageSize || source.size() != imageSize)
        return LoadResult::Invalid;
    const DibHeader header = readDibHeader(block.data());
    if (header.size != kDibHeaderSize || header.width != W || header.height != H ||
        header.bitCount != 24 || header.compression != 0)
        return LoadResult::Invalid;
    adopt(path, rect, std::move(block), std::move(source), stride);
    return LoadResult::Ok;
}

void WorkingPicture::adopt(const std::string& path, const Rect& rect, std::vector<uint8_t> block,
                           std::vector<uint8_t> source, int32_t stride)
{
    m_rect = rect;
    m_stride = stride;
    m_block = std::move(block);
    m_source = std::move(source);
    m_path = path;
    std::lock_guard guard(m_lock);
    m_sharp.clear(); // until the owner loads it for the new picture
}

void WorkingPicture::clear()
{
    m_rect = Rect{};
    m_stride = 0;
    m_block.clear();
    m_source.clear();
    m_path.clear();
    std::lock_guard guard(m_lock);
    m_sharp.clear();
}

void WorkingPicture::setDisplayFactor(int32_t factor)
{
    m_displayFactor = std::clamp(factor, 1, SharpCanvas::kMaxFactor);
    if (m_displayFactor == 1) {
        std::lock_guard guard(m_lock);
        m_sharp.clear();
    }
}

void WorkingPicture::loadSharp(const WA* ownSize)
{
    {
        std::lock_guard guard(m_lock);
        m_sharp.clear();
        if (m_displayFactor == 1 || !hasPicture())
            return;
        const bool loaded = ownSize && m_sharp.load(*ownSize, width(), height(), m_displayFactor);
        if (!loaded && !m_sharp.loadEnlarged(sourceView(), m_displayFactor))
            return;
        if (fieldMatches())
            m_sharp.renderAll(m_field, m_fieldCount, 64, RenderMode::Smooth);
    }
    notifyRendered({0, 0, width(), height()});
}

void WorkingPicture::refreshSharp(int32_t scale)
{
    {
        std::lock_guard guard(m_lock);
        if (!m_sharp.isLoaded() || !fieldMatches())
            return;
        m_sharp.renderAll(m_field, m_fieldCount, scale, RenderMode::Smooth);
    }
    notifyRendered({0, 0, width(), height()});
}

void WorkingPicture::setField(OffsetCell* cells, int32_t count)
{
    std::lock_guard guard(m_lock);
    m_field = cells;
    m_fieldCount = count;
}

void WorkingPicture::setField(OffsetCell* cells)
{
    std::lock_guard guard(m_lock);
    m_field = cells;
}

OffsetCell* WorkingPicture::field() const
{
    std::lock_guard guard(m_lock);
    return m_field;
}

int32_t WorkingPicture::fieldCount() const
{
    std::lock_guard guard(m_lock);
    return m_fieldCount;
}

bool WorkingPicture::fieldMatches() const
{
    return m_field && hasPicture() && int64_t(m_fieldCount) == int64_t(width()) * height();
}

void WorkingPicture::notifyRendered(const Rect& area)
{
    if (m_notify && m_listener)
        m_listener(area);
}

void WorkingPicture::fullRender(int32_t scale, RenderMode mode)
{
    {
        std::lock_guard guard(m_lock);
        if (!fieldMatches())
            return;
        renderAll(buffers(), m_field, scale, mode);
        if (m_sharp.isLoaded())
            m_sharp.renderAll(m_field, m_fieldCount, scale, mode);
    }
    notifyRendered({0, 0, width(), height()});
}

void WorkingPicture::squareRender(int32_t X, int32_t Y, int32_t radius)
{
    if (!fieldMatches())
        return;
    const int64_t limit = CMTool::kMaxCoordinate;
    const int32_t x = int32_t(clampTo(int64_t(X) - m_rect.left, -limit, limit));
    const int32_t y = int32_t(clampTo(int64_t(Y) - m_rect.top, -limit, limit));
    renderSquare(buffers(), m_field, x, y, radius);
    if (m_sharp.isLoaded())
        m_sharp.renderSquare(m_field, m_fieldCount, x, y, radius);
    // The square renderSquare covers, within the picture.
    const int64_t r = radius;
    const Rect area{int32_t(clampTo(x - r, 0, width())), int32_t(clampTo(y - r - 1, 0, height())),
                    int32_t(clampTo(x + r, 0, width())), int32_t(clampTo(y + r - 1, 0, height()))};
    notifyRendered(area);
}

void WorkingPicture::drawThumbnail(ThumbnailBitmap& thumbnail, int32_t width, int32_t height) const
{
    thumbnail = ThumbnailBitmap{};
    if (width <= 0 || height <= 0)
        return;
    thumbnail.width = width;
    thumbnail.height = height;
    thumbnail.bytesPerRow = width * 4;
    thumbnail.planes = 1;
    thumbnail.bitsPerPixel = 32;
    thumbnail.bits.assign(size_t(thumbnail.bytesPerRow) * size_t(height), 0);
    if (!hasPicture())
        return;
    // Each thumbnail pixel is the mean of the picture pixels it covers, so that
    // a small thumbnail does not flicker between neighbouring details.
    const int64_t W = this->width(), H = this->height();
    const uint8_t* bits = displayedBits();
    for (int64_t ty = 0; ty < height; ++ty) {
        const int64_t y0 = ty * H / height, y1 = std::max(y0 + 1, (ty + 1) * H / height);
        uint8_t* out = thumbnail.bits.data() + ty * thumbnail.bytesPerRow;
        for (int64_t tx = 0; tx < width; ++tx) {
            const int64_t x0 = tx * W / width, x1 = std::max(x0 + 1, (tx + 1) * W / width);
            uint64_t sum[3] = {0, 0, 0};
            for (int64_t y = y0; y < y1; ++y) {
                const uint8_t* row = bits + (H - 1 - y) * m_stride;
                for (int64_t x = x0; x < x1; ++x)
                    for (int k = 0; k < 3; ++k)
                        sum[k] += row[3 * x + k];
            }
            const uint64_t n = uint64_t((y1 - y0) * (x1 - x0));
            for (int k = 0; k < 3; ++k)
                out[4 * tx + k] = uint8_t(sum[k] / n);
        }
    }
}

} // namespace knetix
