// Knetix: the program with its windows, or batch mode for scripts.

#include "app/BatchMain.h"
#include "app/ui/CKnetixApp.h"
#include "app/ui/InterfaceScale.h"
#include "app/ui/Settings.h"
#include "artwork/Artwork.h"
#include "document/ProgramFiles.h"
#include "files/imagelib/ImExp.h"
#include "files/movie/MovieWriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kNoDisplay =
    "Knetix braucht eine grafische Sitzung (X11 oder Wayland), die hier fehlt.\n"
    "Ohne Bildschirm arbeitet Knetix im Stapelbetrieb: knetix --batch SKRIPT\n";

// While the application objects are made, Qt's complaints about a display it
// cannot reach are held back: if it gives up, the user reads our sentence
// instead of its abort; if it succeeds, they are passed on.
bool g_starting = false;
QtMessageHandler g_defaultHandler = nullptr;
std::vector<std::pair<QtMsgType, QString>> g_heldBack;

void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!g_starting) {
        g_defaultHandler(type, context, text);
        return;
    }
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_heldBack.emplace_back(type, text);
}

bool displayNamed()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--batch") == 0) {
        knetix::ImExp_Initialize();
        return knetix::runBatchFile(argv[2], std::cerr);
    }
    if (argc == 2 && std::strcmp(argv[1], "--list-codecs") == 0) {
        for (const auto& codec : knetix::availableMovieCodecs())
            std::cout << codec.id << '\t' << codec.displayName << '\n';
        return 0;
    }
    if (!displayNamed()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }
    knetix::ImExp_Initialize();

    g_defaultHandler = qInstallMessageHandler(startupMessages);
    g_starting = true;
    const int zoom = knetix::loadValueSettings(*knetix::openSettings()).zoom;
    const int factor = knetix::prepareInterfaceScale(argc, argv, zoom);
    knetix::CKnetixApp app(argc, argv);
    g_starting = false;
    qInstallMessageHandler(g_defaultHandler);
    for (const auto& [type, text] : g_heldBack)
        g_defaultHandler(type, QMessageLogContext(), text);
    // Programs started from here (the web browser) choose their own scale.
    qunsetenv("QT_SCALE_FACTOR");
    app.setInterfaceFactor(factor);
    // The skin drawn for that factor; without its file, the 1x pictures enlarged.
    if (factor > 1 && !knetix::setArtworkScale(factor, knetix::programDataFolder()))
        std::cerr << "Knetix: die Bilder für die " << factor << "-fache Größe fehlen; die einfachen werden vergrößert.\n";

    // Qt has taken its own options out by now.
    std::vector<std::string> files;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i].startsWith(QLatin1String("--"))) {
            std::cerr << "Aufruf: knetix [DATEI]\n"
                         "       knetix --batch SKRIPT\n"
                         "       knetix --list-codecs\n";
            return 2;
        }
        files.push_back(arguments[i].toStdString());
    }
    switch (app.initInstance(std::move(files))) {
    case knetix::CKnetixApp::Start::Run:
        return app.run();
    case knetix::CKnetixApp::Start::SecondCopy:
        return 0;
    case knetix::CKnetixApp::Start::Refused:
        break;
    }
    return 1;
}
