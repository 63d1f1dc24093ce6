// Draws the demo picture: colour ramps under a grid and rings, so that every
// bend of the tools shows. Written as a BMP through the image library.

#include "container/Dib.h"
#include "files/imagelib/ImExp.h"

#include <cmath>
#include <cstdint>
#include <iostream>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Aufruf: knetix-demo-picture DATEI.bmp\n";
        return 2;
    }
    knetix::ImExp_Initialize();
    constexpr int32_t W = 480, H = 360;
    const int32_t stride = knetix::dibStride24(W);
    std::vector<uint8_t> bits(size_t(stride) * H);
    for (int32_t y = 0; y < H; ++y) {
        uint8_t* row = bits.data() + size_t(H - 1 - y) * stride; // bottom-up
        for (int32_t x = 0; x < W; ++x) {
            const double dx = x - W / 2.0, dy = y - H / 2.0;
            const double ring = std::fmod(std::sqrt(dx * dx + dy * dy), 40.0);
            const bool grid = x % 24 < 2 || y % 24 < 2;
            uint8_t b = uint8_t(255 * y / H), g = uint8_t(160 + 95 * x / W), r = uint8_t(255 - 255 * x / W);
            if (ring < 4) {
                b = 250;
                g = 250;
                r = 250;
            }
            if (grid) {
                b = 30;
                g = 30;
                r = 30;
            }
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
    const knetix::Bitmap24View view{W, H, stride, bits.data(), 2835, 2835};
    if (knetix::ImExp_WriteFile(argv[1], view) != knetix::ImExpStatus::Ok) {
        std::cerr << "knetix-demo-picture: " << argv[1] << " kann nicht geschrieben werden.\n";
        return 1;
    }
    return 0;
}
