// Knetix: until the window exists, the program runs scripts in batch mode.

#include "app/Batch.h"
#include "files/imagelib/ImExp.h"
#include "files/movie/MovieWriter.h"

#include <cstring>
#include <iostream>

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
    std::cerr << "Aufruf: knetix --batch SKRIPT\n"
                 "       knetix --list-codecs\n";
    return 2;
}
