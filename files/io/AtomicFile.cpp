#include "files/io/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace knetix {

namespace fs = std::filesystem;

namespace {

int writeAll(int fd, const uint8_t* data, size_t length)
{
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        data += n;
        length -= size_t(n);
    }
    return 0;
}

// The replaced file's permissions, or what a newly created file would get
// (mkstemp alone gives 0600).
mode_t targetMode(const fs::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

fs::path folderOf(const fs::path& target)
{
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// ".name." for the temporaries of a target; the name is cut so that the
// temporary name stays under NAME_MAX.
std::string temporaryPrefix(const fs::path& target)
{
    std::string name = target.filename().string();
    name.resize(std::min<size_t>(name.size(), 100));
    return "." + name + ".";
}

// Creates the temporary file and returns its open descriptor, or -1 with errno set.
int createTemporary(const fs::path& target, std::string& temp)
{
    temp = (folderOf(target) / (temporaryPrefix(target) + "XXXXXX.tmp")).string();
    return ::mkstemps(temp.data(), 4);
}

// A save that was killed (power cut, SIGKILL) leaves its temporary behind;
// the next complete save of the same target clears such leftovers.
void removeLeftoverTemporaries(const fs::path& target)
{
    const std::string prefix = temporaryPrefix(target);
    std::error_code ec;
    for (fs::directory_iterator it(folderOf(target), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 10 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - 4, 4, ".tmp") == 0)
            ::unlink(it->path().c_str());
    }
}

// Permissions, flush, close and rename; the descriptor is closed in any case.
int finishTemporary(int fd, const std::string& temp, const fs::path& target)
{
    int error = 0;
    if (::fchmod(fd, targetMode(target)) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // Make the rename itself durable; a failure here loses nothing.
    const int dir = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    removeLeftoverTemporaries(target);
    return 0;
}

} // namespace

int makeTemporaryBeside(const fs::path& target, std::string& temp)
{
    const int fd = createTemporary(target, temp);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

int openScratchBeside(const fs::path& target)
{
    int fd = ::open(folderOf(target).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return -errno;
    // No unnamed files here: a named temporary, unlinked at once (a crash in
    // between leaves one that the next complete save of the target clears).
    std::string temp;
    fd = createTemporary(target, temp);
    if (fd < 0)
        return -errno;
    ::unlink(temp.c_str());
    return fd;
}

int commitTemporary(const std::string& temp, const fs::path& target)
{
    const int fd = ::open(temp.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return error;
    }
    return finishTemporary(fd, temp, target);
}

int writeFileAtomically(const fs::path& file, std::span<const uint8_t> data)
{
    std::string temp;
    const int fd = createTemporary(file, temp);
    if (fd < 0)
        return errno;
    if (const int error = writeAll(fd, data.data(), data.size()); error != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        return error;
    }
    return finishTemporary(fd, temp, file);
}

int readWholeFile(const fs::path& file, std::vector<uint8_t>& data, uint64_t maxBytes)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0)
        error = errno;
    else if (S_ISDIR(st.st_mode))
        error = EISDIR;
    else if (uint64_t(st.st_size) > maxBytes)
        error = EFBIG;
    std::vector<uint8_t> bytes;
    if (error == 0) {
        // The size is a hint only: read until the end, whatever it says.
        bytes.resize(size_t(st.st_size));
        size_t used = 0;
        for (;;) {
            if (used == bytes.size()) {
                if (bytes.size() >= maxBytes) {
                    uint8_t probe;
                    const ssize_t more = ::read(fd, &probe, 1);
                    if (more > 0)
                        error = EFBIG;
                    else if (more < 0)
                        error = errno;
                    break;
                }
                bytes.resize(size_t(std::min<uint64_t>(maxBytes, bytes.size() + 65536)));
            }
            const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = errno;
                break;
            }
            if (n == 0)
                break;
            used += size_t(n);
        }
        bytes.resize(used);
    }
    ::close(fd);
    if (error == 0)
        data = std::move(bytes);
    return error;
}

} // namespace knetix
