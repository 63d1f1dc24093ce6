// Packed 24-bit DIBs, as a scanner hands them over.

#include "engine/WorkingPicture.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    knetix::WorkingPicture picture(120, 120);
    if (picture.loadFromPackedDib("scan.bmp", data, size) == knetix::LoadResult::Ok)
        picture.fullRender(64, knetix::RenderMode::Smooth);
    return 0;
}
