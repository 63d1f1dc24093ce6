// Batch scripts from anywhere, against a document with a picture, without
// file access and with bounded stroke work.

#include "document/Batch.h"
#include "container/WA.h"

#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace knetix;
    static const WAPtr picture = [] {
        auto p = std::make_shared<WA>(WA_TYPE_24BIT, 90, 60);
        for (int32_t k = 0; k < 60; ++k)
            for (int32_t i = 0; i < 270; ++i)
                p->row(k)[i] = uint8_t((k * 7) ^ (i * 3));
        return p;
    }();
    auto doc = std::make_unique<Document>(120, 120);
    doc->loadPicture("fuzz.bmp", *picture);
    BatchRunner runner(std::move(doc), BatchLimits{false, 2000});
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    runner.run(script);
    return 0;
}
