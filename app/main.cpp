// Knetix: the program with its windows, or batch mode for scripts.

#include "app/BatchMain.h"
#include "app/ui/CKnetixApp.h"
#include "files/imagelib/ImExp.h"
#include "files/movie/MovieWriter.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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
    knetix::ImExp_Initialize();
    knetix::CKnetixApp app(argc, argv);
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
