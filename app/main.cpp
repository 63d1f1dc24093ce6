// Knetix: until the window exists, the program runs scripts in batch mode.

#include "app/Batch.h"
#include "files/imagelib/ImExp.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--batch") == 0) {
        knetix::ImExp_Initialize();
        return knetix::runBatchFile(argv[2], std::cerr);
    }
    std::cerr << "Aufruf: knetix --batch SKRIPT\n";
    return 2;
}
