// Draws every picture of the skin from the layout table at one factor and
// writes them as PNG files, a resource collection file listing them, a contact
// sheet, a preview of the main panel and one of the filmstrip panel on its
// slider face; at factor 1 also the program icon at 256 x 256 for the desktop
// (not a resource).
//
//   knetix_artgen <output folder> [factor]
//
// Factor 1 (the default) writes art/, skin.qrc (prefix /skin) and the sheets
// as they are named below; factor N writes art-Nx/, skin-Nx.qrc (prefix
// /skin-Nx) and the sheets with "-Nx" before ".png". The pictures of factor N
// have N times the pixels each way of the 1x ones.

#include "Painting.h"
#include "ToolFrames.h"

#include "resources/SkinLayout.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// Every picture the program asks for must be there, at its size times the
// factor, with that device pixel ratio, and at its depth.
bool verify(const Output& out, int factor)
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
        if (image.width() != entry.width * factor || image.height() != entry.height * factor ||
            depth != entry.depth || image.devicePixelRatio() != factor) {
            std::fprintf(stderr, "knetix_artgen: %s is %dx%d/%d at %g, wanted %dx%d/%d at %d\n",
                         entry.name.c_str(), image.width(), image.height(), depth, image.devicePixelRatio(),
                         entry.width * factor, entry.height * factor, entry.depth, factor);
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const int factor = argc == 3 ? std::atoi(argv[2]) : 1;
    if (argc < 2 || argc > 3 || factor < 1 || factor > 4) {
        std::fprintf(stderr, "usage: knetix_artgen <output folder> [factor 1..4]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    // Names of this factor's outputs: "name" at 1x, "name-Nx" otherwise.
    const QString suffix = factor == 1 ? QString() : QStringLiteral("-%1x").arg(factor);
    const QString artFolder = "art" + suffix;
    if (!dir.mkpath(artFolder)) {
        std::fprintf(stderr, "knetix_artgen: cannot create %s/%s\n", argv[1], qPrintable(artFolder));
        return 1;
    }
    if (!loadFonts())
        return 1;
    setFactor(factor);

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

    for (int set = 0; set < skin::kToolDisplaySetCount; ++set)
        for (int level = 0; level < 3; ++level)
            for (int frame = 0; frame < skin::kToolDisplayFramesPerLevel; ++frame)
                out.put(skin::toolDisplayFrameName(set, level, frame), toolDisplayFrame(set, level, frame, factor));

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

    if (!verify(out, factor))
        return 1;

    const QString qrcName = "skin" + suffix + ".qrc";
    QFile qrc(dir.filePath(qrcName));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "knetix_artgen: cannot write %s\n", qPrintable(qrcName));
        return 1;
    }
    QTextStream qs(&qrc);
    qs << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/skin" << suffix << "\">\n";
    for (const auto& [name, image] : out.pictures) {
        const QString file = artFolder + "/" + QString::fromStdString(name) + ".png";
        if (!save(image, dir.filePath(file)))
            return 1;
        qs << "  <file alias=\"" << QString::fromStdString(name) << "\">" << file << "</file>\n";
    }
    qs << "</qresource>\n</RCC>\n";
    qrc.close();
    // For the desktop's icon theme only; the program itself uses the 32 x 32 one.
    if (factor == 1) {
        if (!save(drawIcon(128, 256), dir.filePath("art/ICON_128_256.png")))
            return 1;
    }

    // Sheets to look at, not resources: the contact sheet at 1x and 2x, the
    // panel previews at every factor.
    if (factor <= 2) {
        std::vector<std::pair<std::string, QImage>> sheet(out.pictures.begin(), out.pictures.end());
        if (!save(drawContactSheet(sheet), dir.filePath("contact-sheet" + suffix + ".png")))
            return 1;
    }
    if (!save(drawPanelPreview(out.pictures), dir.filePath("panel-preview" + suffix + ".png")))
        return 1;
    if (!save(drawSliderPanelPreview(out.pictures), dir.filePath("slider-panel-preview" + suffix + ".png")))
        return 1;
    return 0;
}
