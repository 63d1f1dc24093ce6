#pragma once
// Points SANE at a private configuration folder, so that tests see SANE's
// virtual test scanners (or none at all) and never a real device. Must be in
// place before SANE starts. SANE takes the folder's name only once per
// process, so the folder is the same for every instance in a process; what
// it lists is read again each time SANE starts.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace knetix::test {

class SaneTestConfig {
public:
    // With `devices`, dll.conf names only the test backend, which offers
    // test:0 and test:1; without, dll.conf is empty and SANE finds nothing.
    explicit SaneTestConfig(bool devices = true)
    {
        m_folder = std::filesystem::temp_directory_path() / ("knetix-sane-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_folder);
        std::ofstream(m_folder / "dll.conf") << (devices ? "test\n" : "");
        std::ofstream(m_folder / "test.conf") << "number_of_devices 2\n"
                                                 "mode Gray\n"
                                                 "depth 8\n"
                                                 "resolution 50.0\n"
                                                 "test-picture \"Solid black\"\n"
                                                 "geometry_min 0.0\n"
                                                 "geometry_max 200.0\n"
                                                 "br_x 80.0\n"
                                                 "br_y 100.0\n";
        // No trailing colon: that would add the system's folders and backends.
        setenv("SANE_CONFIG_DIR", m_folder.c_str(), 1);
#ifdef KNETIX_SANE_TEST_BACKEND
        // Stays loaded after sane_exit, so that the leak checker can still
        // name it when the program ends (see lsan-sane.supp).
        static void* const pinned = dlopen(KNETIX_SANE_TEST_BACKEND, RTLD_NOW | RTLD_NODELETE);
        (void)pinned;
#endif
    }
    ~SaneTestConfig() { std::filesystem::remove_all(m_folder); }
    SaneTestConfig(const SaneTestConfig&) = delete;
    SaneTestConfig& operator=(const SaneTestConfig&) = delete;

private:
    std::filesystem::path m_folder;
};

} // namespace knetix::test
