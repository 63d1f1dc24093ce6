// The thumbnail database file, which lies in the shared temporary folder where
// anybody may have put it: whatever it holds is read or refused, and what is
// read writes back to the same entries.

#include "browser/model/ThumbnailDatabase.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    knetix::ThumbnailMap database;
    if (!knetix::decodeThumbnailDatabase({data, size}, database))
        return 0;
    knetix::ThumbnailMap again;
    if (!knetix::decodeThumbnailDatabase(knetix::encodeThumbnailDatabase(database), again) ||
        again.size() != database.size())
        std::abort();
    return 0;
}
