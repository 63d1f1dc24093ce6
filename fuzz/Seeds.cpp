// Writes the seed inputs of every fuzz target with the program's own code:
// projects with 0, 1 and 3 keys and each tool, scripts, scanned pictures and
// picture files.   knetix-fuzz-seeds FOLDER

#include "document/Document.h"
#include "browser/model/ThumbnailDatabase.h"
#include "container/Dib.h"
#include "files/imagelib/ImExp.h"
#include "document/ProjectFile.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace knetix;

namespace {

WAPtr picture(int32_t w, int32_t h)
{
    auto p = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    for (int32_t k = 0; k < h; ++k)
        for (int32_t i = 0; i < 3 * w; ++i)
            p->row(k)[i] = uint8_t((k * 5) ^ (i * 3));
    return p;
}

void write(const fs::path& file, const std::vector<uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

std::vector<uint8_t> project(Document& d)
{
    return encodeProject({d.picture(), d.strokePatch(), d.keys(), d.tool(), d.toolBitmapId()}, "/fuzz/");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Aufruf: knetix-fuzz-seeds ORDNER\n";
        return 2;
    }
    ImExp_Initialize();
    const fs::path root = argv[1];
    for (const char* target : {"project", "batch", "dib", "image", "thumbdb"})
        fs::create_directories(root / target);

    // Projects: none, one and three keys, and one with each tool.
    Document empty(120, 120);
    write(root / "project/empty.knx", project(empty));
    for (ToolKind kind : kToolKindsByNameOrder) {
        Document d(40, 40);
        d.loadPicture("/fuzz/p.bmp", *picture(30, 20));
        d.selectTool(kind);
        d.press(20, 20);
        d.move(23, 21);
        d.tick();
        d.release();
        d.openKeyMenu(2);
        d.runKeyCommand(KeyCommand::Activate);
        write(root / "project" / (std::string("three-") + toolName(kind) + ".knx"), project(d));
        if (kind == ToolKind::Whirl) {
            d.startPlayback();
            d.playbackFrame();
            d.stopPlayback();
            write(root / "project/with-blend.knx", project(d));
            KeyListState one;
            one.keys.push_back(std::make_unique<CMMask>(d.keys().key(0)));
            one.pictureWidth = d.keys().pictureWidth();
            one.pictureHeight = d.keys().pictureHeight();
            one.cellCount = d.keys().cellCount();
            one.playback.nextKey = 0;
            d.keys().replace(std::move(one));
            write(root / "project/one-key.knx", project(d));
        }
    }

    // Scripts.
    const std::vector<std::string> scripts = {
        "tool whirl medium\npress 60 60\ntick 5\nrelease\nkey activate 2\nkey copy 0\nscroll forward\n",
        "tool move large\npress 50 50\nmove 55 52\nmove 60 55\nrelease\ndeformation 20\nkey left 1\n",
        "tool zoomin small\npower 30\npress 40 70\ntick 3\nrelease\nspeed 10\nkey delete 0\n",
        "# comment\ntool undo medium\npress 60 60\nmove 62 62 # trailing\nrelease\nkey to-window 0\n",
    };
    for (size_t i = 0; i < scripts.size(); ++i)
        std::ofstream(root / "batch" / ("script" + std::to_string(i) + ".knxs")) << scripts[i];

    // Scanned pictures: packed DIBs.
    for (auto [w, h] : {std::pair{7, 5}, std::pair{32, 24}}) {
        const int32_t stride = dibStride24(w);
        std::vector<uint8_t> block(size_t(kDibHeaderSize) + size_t(stride) * size_t(h), 0x55);
        writeDibHeader(block.data(), dib24Header(w, h, 2835, 2835));
        write(root / "dib" / ("scan" + std::to_string(w) + ".dib"), block);
    }

    // Picture files in every format the library writes, plus GIF through it.
    const WAPtr small = picture(24, 16);
    const Bitmap24View view{24, 16, small->rowBytes(), small->row(0), 2835, 2835};
    for (const char* ext : {"bmp", "jpg", "pcx", "tif", "tga"})
        ImExp_WriteFile(root / "image" / (std::string("seed.") + ext), view);

    // Thumbnail databases: empty, and a picture with and one without a thumbnail.
    ThumbnailMap thumbs;
    write(root / "thumbdb/empty.tmp", encodeThumbnailDatabase(thumbs));
    thumbs["/fuzz/a.bmp"] = std::make_shared<CPaletteItem>(makeThumbnail(*picture(30, 20)));
    thumbs["/fuzz/b.jpg"] = std::make_shared<CPaletteItem>();
    write(root / "thumbdb/two.tmp", encodeThumbnailDatabase(thumbs));
    return 0;
}
