#include "WA.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace knetix {

int32_t waBitsPerPixel(int32_t type)
{
    switch (type) {
    case WA_TYPE_1BIT: return 1;
    case WA_TYPE_4BIT: return 4;
    case WA_TYPE_8BIT_GREY:
    case WA_TYPE_8BIT: return 8;
    case WA_TYPE_24BIT: return 24;
    default: return 0;
    }
}

int64_t waRowBytes(int32_t type, int32_t width)
{
    const int64_t bits = waBitsPerPixel(type);
    if (bits == 0 || width <= 0)
        return -1;
    const int64_t bytes = (int64_t(width) * bits + 31) / 32 * 4;
    return bytes > std::numeric_limits<int32_t>::max() ? -1 : bytes;
}

WA::WA(int32_t type, int32_t width, int32_t height, const std::vector<uint32_t>& palette)
    : m_type(type), m_width(width), m_height(height), m_rowBytes(0)
{
    const int64_t rowBytes = waRowBytes(type, width);
    if (rowBytes < 0 || height <= 0)
        throw std::invalid_argument("WA: invalid picture geometry");
    if (uint64_t(rowBytes) * uint64_t(height) > std::numeric_limits<size_t>::max() / 2)
        throw std::bad_alloc();
    m_rowBytes = int32_t(rowBytes);
    m_palette.assign(palette.begin(), palette.begin() + std::min<size_t>(palette.size(), 256));
    m_bits.resize(size_t(rowBytes) * size_t(height));
}

uint8_t* WA::row(int32_t k)
{
    if (k < 0 || k >= m_height)
        return nullptr;
    return m_bits.data() + size_t(k) * size_t(m_rowBytes);
}

const uint8_t* WA::row(int32_t k) const
{
    return const_cast<WA*>(this)->row(k);
}

int32_t dpiToPixelsPerMetre(int32_t dpi)
{
    if (dpi <= 0)
        return 0;
    return int32_t((int64_t(dpi) * 10000 + 127) / 254);
}

int32_t pixelsPerMetreToDpi(int32_t pixelsPerMetre)
{
    if (pixelsPerMetre <= 0)
        return 0;
    return int32_t((int64_t(pixelsPerMetre) * 254 + 5000) / 10000);
}

int32_t WA::horizontalPixelsPerMetre() const
{
    return horizontalDpi() ? dpiToPixelsPerMetre(horizontalDpi()) : 2835;
}

int32_t WA::verticalPixelsPerMetre() const
{
    return verticalDpi() ? dpiToPixelsPerMetre(verticalDpi()) : 2835;
}

WAPIX::WAPIX(WAPtr picture, int32_t mode) : m_picture(std::move(picture)), m_mode(mode) {}

uint8_t* WAPIX::GetAccessToRow(int32_t index)
{
    return m_picture ? m_picture->row(index) : nullptr;
}

} // namespace knetix
