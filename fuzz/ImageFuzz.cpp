// Picture files of any format through the image library interface, then
// fitted into the canvas.

#include "engine/WorkingPicture.h"
#include "files/imagelib/ImExp.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    knetix::ImExp_Initialize();
    // Keep single inputs cheap: a claimed size beyond this is refused early.
    knetix::ImExp_SetMaxPixels(4000 * 3000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/knetix-imagefuzz-" + std::to_string(::getpid());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    knetix::WAPtr container;
    if (knetix::ImExp_ReadFile(path, container) == knetix::ImExpStatus::Ok && container) {
        knetix::WorkingPicture picture(120, 120);
        picture.loadFromContainer(path, *container);
    }
    return 0;
}
