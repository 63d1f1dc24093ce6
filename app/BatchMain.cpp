#include "app/BatchMain.h"

#include "document/Batch.h"
#include "resources/Messages.h"

#include <fstream>

namespace knetix {

int runBatchFile(const std::string& scriptPath, std::ostream& err)
{
    std::ifstream script(scriptPath);
    if (!script) {
        err << "knetix: " << scriptNotOpenedMessage(scriptPath) << "\n";
        return 1;
    }
    BatchRunner runner;
    if (const auto failure = runner.run(script)) {
        err << "knetix: " << batchFailureLine(scriptPath, *failure) << "\n";
        return 1;
    }
    return 0;
}

} // namespace knetix
