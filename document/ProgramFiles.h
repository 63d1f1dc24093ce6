#pragma once
// Where the program finds its own data files (the help file, the home page):
// named by KNETIX_DATA_DIR, else share/knetix/ beside the installed program's
// bin/ folder, else data/ next to the program file as the build tree has it.
// No Qt.

#include <string>

namespace knetix {

// The folder of the running program file, ending in "/"; empty when the
// system does not tell.
std::string programFolder();

// The folder holding the program's data files, ending in "/".
std::string programDataFolder();

// The rule behind programDataFolder() for a given program folder and value of
// KNETIX_DATA_DIR (null when unset): the variable when non-empty, else
// <programFolder>../share/knetix/ when that folder exists, else
// <programFolder>data/.
std::string dataFolderFor(const std::string& programFolder, const char* dataDirVariable);

// The German help file and the maker's home page document.
std::string helpFilePath();
std::string homePageFilePath();

} // namespace knetix
