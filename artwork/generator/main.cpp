// Draws every picture of the skin from the layout table and writes them as PNG
// files, a resource collection file listing them, a contact sheet, a preview
// of the main panel and one of the filmstrip panel on its slider face; and the
// program icon at 256 x 256 for the desktop (not a resource).
//
//   knetix_artgen <output folder>

#include "Painting.h"
#include "ToolFrames.h"

#include "resources/SkinLayout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <map>

using namespace knetix;
using namespace knetix::art;

namespace {

struct Output {
    std::map<std::string, QImage> pictures;
    void put(const std::string& name, const QImage& image) { pictures[name] = image; }
};

bool save(const QImage& image, const QString& path)
{
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "knetix_artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Every picture the program asks for must be there, at its size and depth.
bool verify(const Output& out)
{
    bool ok = true;
    for (const skin::PictureEntry& entry : skin::allPictures()) {
        const auto it = out.pictures.find(entry.name);
        if (it == out.pictures.end()) {
            std::fprintf(stderr, "knetix_artgen: %s was not drawn\n", entry.name.c_str());
            ok = false;
            continue;
        }
        const QImage& image = it->second;
        const int depth = image.format() == QImage::Format_Indexed8 ? 8
                          : image.hasAlphaChannel()                 ? 32
                                                                    : 24;
        if (image.width() != entry.width || image.height() != entry.height || depth != entry.depth) {
            std::fprintf(stderr, "knetix_artgen: %s is %dx%d/%d, wanted %dx%d/%d\n", entry.name.c_str(),
                         image.width(), image.height(), depth, entry.width, entry.height, entry.depth);
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: knetix_artgen <output folder>\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath("art")) {
        std::fprintf(stderr, "knetix_artgen: cannot create %s/art\n", argv[1]);
        return 1;
    }
    if (!loadFonts())
        return 1;

    Output out;
    const QImage skinPicture = drawSkin();
    out.put("MAIN_WND", skinPicture);
    for (const skin::ControlLayout& c : skin::mainPanelControls())
        if (c.kind != skin::ControlKind::ToolDisplay)
            drawControl(c, skinPicture, [&](const std::string& n, const QImage& i) { out.put(n, i); });

    const std::vector<QImage> wheel = drawWheelFrames();
    for (size_t i = 0; i < wheel.size(); ++i)
        out.put("WHEEL_" + std::to_string(i), wheel[i]);
    for (const skin::ControlLayout& c : skin::filmPanelControls()) {
        // Play2 lives on the slider face, the others on the filmstrip face.
        const QImage& face = c.member == "Play2" ? wheel.back() : wheel.front();
        drawControl(c, face, [&](const std::string& n, const QImage& i) { out.put(n, i); });
    }
    for (const skin::SliderLayout& s : skin::sliders())
        out.put(QString::fromUtf8(s.base.data(), int(s.base.size())).toUpper().toStdString() + "U",
                drawKnob(s));

    for (int set = 0; set < 6; ++set)
        for (int level = 0; level < 3; ++level)
            for (int frame = 0; frame < skin::kToolDisplayFramesPerLevel; ++frame)
                out.put(skin::toolDisplayFrameName(set, level, frame), toolDisplayFrame(set, level, frame));

    out.put("TIP_LEFT", drawTipEnd(true));
    out.put("TIP_RIGHT", drawTipEnd(false));
    out.put("SPLASH_START", drawSplash());

    const std::pair<const char*, const char*> dialogs[] = {
        {"OPEN_PICTURE", "Bild öffnen"},       {"OPEN_PROJECT", "Projekt öffnen"},
        {"SAVE_PROJECT", "Projekt speichern"}, {"SAVE_PICTURE", "Bild speichern"},
        {"SAVE_AVI", "AVI speichern"}};
    QImage dialogFace;
    for (const auto& [name, title] : dialogs) {
        QImage face = drawDialog(QString::fromUtf8(title));
        out.put(name, face);
        if (dialogFace.isNull())
            dialogFace = face;
    }
    for (const skin::ControlLayout& c : skin::fileDialogControls())
        drawControl(c, dialogFace, [&](const std::string& n, const QImage& i) { out.put(n, i); });
    out.put("OP_COMBO_BTN_DOWN", drawComboButton());
    out.put("FUNDAL", drawScrollBackground());
    out.put("PATRATELU", drawThumb());
    for (int32_t id : skin::kIconIds)
        out.put(skin::iconName(id), drawIcon(id));

    if (!verify(out))
        return 1;

    QFile qrc(dir.filePath("skin.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "knetix_artgen: cannot write skin.qrc\n");
        return 1;
    }
    QTextStream qs(&qrc);
    qs << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    for (const auto& [name, image] : out.pictures) {
        const QString file = QString::fromStdString(name) + ".png";
        if (!save(image, dir.filePath("art/" + file)))
            return 1;
        qs << "  <file alias=\"" << QString::fromStdString(name) << "\">art/" << file << "</file>\n";
    }
    qs << "</qresource>\n</RCC>\n";
    qrc.close();
    // For the desktop's icon theme only; the program itself uses the 32 x 32 one.
    if (!save(drawIcon(128, 256), dir.filePath("art/ICON_128_256.png")))
        return 1;

    std::vector<std::pair<std::string, QImage>> sheet(out.pictures.begin(), out.pictures.end());
    if (!save(drawContactSheet(sheet), dir.filePath("contact-sheet.png")))
        return 1;
    if (!save(drawPanelPreview(out.pictures), dir.filePath("panel-preview.png")))
        return 1;
    if (!save(drawSliderPanelPreview(out.pictures), dir.filePath("slider-panel-preview.png")))
        return 1;
    return 0;
}
