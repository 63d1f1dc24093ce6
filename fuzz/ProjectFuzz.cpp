// Project files from anywhere: reading must refuse or accept cleanly, and an
// accepted project must survive use, saving and reading again unchanged.

#include "document/Document.h"
#include "document/ProjectFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace knetix;
    Document doc(120, 120);
    if (!doc.openProjectData({data, size}, "/fuzz/project.knx"))
        return 0;

    // What was accepted is written back exactly and reads again.
    const auto saved = encodeProject({doc.picture(), doc.strokePatch(), doc.keys(), doc.tool(), doc.toolBitmapId()},
                                     "/fuzz/");
    Document again(120, 120);
    if (!again.openProjectData(saved, "/fuzz/project.knx"))
        std::abort();
    const auto resaved = encodeProject(
        {again.picture(), again.strokePatch(), again.keys(), again.tool(), again.toolBitmapId()}, "/fuzz/");
    if (resaved != saved)
        std::abort();

    // And it can be worked on.
    doc.picture().fullRender(64, RenderMode::Smooth);
    if (doc.startPlayback()) {
        for (int i = 0; i < 3; ++i)
            doc.playbackFrame();
        doc.stopPlayback();
    }
    doc.press(60, 60);
    doc.move(65, 62);
    doc.tick();
    doc.release();
    const int32_t keys = doc.keys().count(); // Activate on the empty cell adds one
    for (int32_t r = 0; r <= keys; ++r)
        if (doc.openKeyMenu(r))
            for (KeyCommand c : kKeyMenuOrder)
                if (doc.keys().offers(c, r)) {
                    doc.runKeyCommand(c);
                    break;
                }
    return 0;
}
