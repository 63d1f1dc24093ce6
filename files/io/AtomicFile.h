#pragma once
// Whole-file reads and writes for the program's own files. A write goes to a
// temporary file in the target's folder and is renamed over the target only
// when complete, so a failed save never costs the file it was meant to replace.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace knetix {

// Failures are errno values; callers keep them, with the file name and
// whether it was being read or written, for the message shown.

// 0 on success, otherwise the errno of the step that failed.
int writeFileAtomically(const std::filesystem::path& file, std::span<const uint8_t> data);

// For writers that produce the file themselves: an empty temporary file next
// to the target (its name in `temp`), then, when it is complete, its
// permissions, flush and rename over the target. Both return 0 or an errno;
// a failed commit removes the temporary file.
int makeTemporaryBeside(const std::filesystem::path& target, std::string& temp);
int commitTemporary(const std::string& temp, const std::filesystem::path& target);

// A scratch file without a name in the target's folder, for data too large
// for memory that only this process reads back: it is gone when closed, and
// (where the file system allows unnamed files) after a crash too. Returns the
// descriptor, or -errno.
int openScratchBeside(const std::filesystem::path& target);

// 0 on success, otherwise an errno (EFBIG when the file exceeds maxBytes).
int readWholeFile(const std::filesystem::path& file, std::vector<uint8_t>& data,
                  uint64_t maxBytes = uint64_t(1) << 32);

} // namespace knetix
