#include "files/scan/SaneScanner.h"

#include <sane/sane.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace knetix {

std::string scanLibraryName()
{
    return "SANE " + std::to_string(SANE_CURRENT_MAJOR) + "." + std::to_string(SANE_CURRENT_MINOR);
}


namespace {

// The threads of this process, by id.
std::set<long> processThreads()
{
    std::set<long> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error))
        ids.insert(std::strtol(entry.path().filename().c_str(), nullptr, 10));
    return ids;
}

// True when the thread is gone or waits in a system call that blocks (I/O,
// sleeping, waiting for a lock or a device): ended there, it holds nothing.
bool threadSettled(long id)
{
    std::ifstream in("/proc/self/task/" + std::to_string(id) + "/syscall");
    std::string first;
    if (!(in >> first))
        return true; // gone
    if (first == "running")
        return false;
    const long call = std::strtol(first.c_str(), nullptr, 10);
    // read, write, poll, ioctl, select, pause, nanosleep, accept, recvfrom,
    // recvmsg, wait4, rt_sigtimedwait, rt_sigsuspend, futex, clock_nanosleep,
    // epoll_wait, pselect6, ppoll, epoll_pwait, accept4 (x86-64 numbers)
    constexpr long kBlocking[] = {0,  1,   7,   16,  23,  34,  35,  43,  45,  47,
                                  61, 128, 130, 202, 230, 232, 270, 271, 281, 288};
    return std::find(std::begin(kBlocking), std::end(kBlocking), call) != std::end(kBlocking);
}

// Some backends end their reader thread asynchronously: on sane_cancel, and
// some inside the sane_read that hands over a frame's last bytes. Caught inside
// the C library (an allocation, say) the thread would die holding a lock and
// hang the whole program, so the threads that came up with the scan are given
// time to end or to block first. Threads that stay blocked for `parked` are
// taken as living on with the device. They normally settle within
// milliseconds; on a busy machine it can take seconds, and going on early
// risks the hang, so the bound is generous (this runs on the scan's worker,
// not the window's thread).
void waitForBackendThreads(const std::set<long>& before,
                           std::chrono::milliseconds parked = std::chrono::milliseconds(0))
{
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(20);
    auto blockedSince = start;
    for (auto now = start; now < deadline; now = std::chrono::steady_clock::now()) {
        bool gone = true;
        bool settled = true;
        for (long id : processThreads()) {
            if (before.count(id))
                continue;
            gone = false;
            if (!threadSettled(id)) {
                settled = false;
                break;
            }
        }
        if (gone)
            return;
        if (!settled)
            blockedSince = now;
        else if (now - blockedSince >= parked)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// Statuses travel by their numbers; SaneCode must name SANE's own.
static_assert(int(SaneCode::Good) == SANE_STATUS_GOOD && int(SaneCode::Unsupported) == SANE_STATUS_UNSUPPORTED &&
              int(SaneCode::Cancelled) == SANE_STATUS_CANCELLED &&
              int(SaneCode::DeviceBusy) == SANE_STATUS_DEVICE_BUSY && int(SaneCode::Invalid) == SANE_STATUS_INVAL &&
              int(SaneCode::Eof) == SANE_STATUS_EOF && int(SaneCode::Jammed) == SANE_STATUS_JAMMED &&
              int(SaneCode::NoDocuments) == SANE_STATUS_NO_DOCS &&
              int(SaneCode::CoverOpen) == SANE_STATUS_COVER_OPEN && int(SaneCode::IoError) == SANE_STATUS_IO_ERROR &&
              int(SaneCode::NoMemory) == SANE_STATUS_NO_MEM &&
              int(SaneCode::AccessDenied) == SANE_STATUS_ACCESS_DENIED);

// Guards starting and ending SANE; the session number tells a handle from an
// earlier start (already closed by sane_exit) from a live one.
std::mutex g_saneMutex;
uint64_t g_session = 0;      // 0 while SANE is not started
uint64_t g_lastSession = 0;

// Descriptors and lists come from a backend: bound every walk over them.
constexpr int32_t kMaxOptions = 10000;
constexpr int32_t kMaxListEntries = 10000;

SANE_Handle handleOf(void* h)
{
    return static_cast<SANE_Handle>(h);
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string text(SANE_String_Const s)
{
    return s ? std::string(s) : std::string();
}

double fromWord(const SANE_Option_Descriptor* d, SANE_Word w)
{
    return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : double(w);
}

bool isNumber(const SANE_Option_Descriptor* d)
{
    return d && (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED) && d->size >= int(sizeof(SANE_Word));
}

// Whether a number option's constraint lets it take `value`.
bool allows(const SANE_Option_Descriptor* d, double value)
{
    if (!isNumber(d))
        return false;
    switch (d->constraint_type) {
    case SANE_CONSTRAINT_RANGE:
        return d->constraint.range && value >= fromWord(d, d->constraint.range->min) &&
               value <= fromWord(d, d->constraint.range->max);
    case SANE_CONSTRAINT_WORD_LIST:
        if (!d->constraint.word_list)
            return false;
        for (SANE_Word i = 1; i <= std::min(d->constraint.word_list[0], kMaxListEntries); ++i)
            if (std::abs(fromWord(d, d->constraint.word_list[i]) - value) < 1e-6)
                return true;
        return false;
    default:
        return true;
    }
}

} // namespace

std::string ScanDevice::displayText() const
{
    std::string s = vendor;
    if (!model.empty())
        s += (s.empty() ? "" : " ") + model;
    return s + (s.empty() ? "(" : " (") + name + ")";
}

ScanStatus saneStartup()
{
    std::lock_guard lock(g_saneMutex);
    if (g_session)
        return {};
    SANE_Int version = 0;
    const SANE_Status status = sane_init(&version, nullptr);
    if (status != SANE_STATUS_GOOD)
        return {ScanProblem::SaneStartFailed, int(status)};
    g_session = ++g_lastSession;
    return {};
}

void saneShutdown()
{
    std::lock_guard lock(g_saneMutex);
    if (!g_session)
        return;
    // sane_exit closes the handles still open; their owners see the session end.
    sane_exit();
    g_session = 0;
}

bool saneStarted()
{
    std::lock_guard lock(g_saneMutex);
    return g_session != 0;
}

std::vector<ScanDevice> listScanDevices(ScanStatus* status)
{
    std::vector<ScanDevice> devices;
    ScanStatus started = saneStartup();
    if (!started.ok()) {
        if (status)
            *status = std::move(started);
        return devices;
    }
    const SANE_Device** list = nullptr;
    const SANE_Status listed = sane_get_devices(&list, SANE_FALSE);
    if (listed != SANE_STATUS_GOOD || !list) {
        if (status)
            *status = {ScanProblem::DeviceListUnavailable, int(listed)};
        return devices;
    }
    for (int32_t i = 0; i < kMaxListEntries && list[i]; ++i) {
        if (!list[i]->name || !*list[i]->name)
            continue;
        devices.push_back({text(list[i]->name), text(list[i]->vendor), text(list[i]->model), text(list[i]->type)});
    }
    if (status)
        *status = {};
    return devices;
}

SaneScanner::~SaneScanner()
{
    close();
}

ScanStatus SaneScanner::open(const std::string& deviceName)
{
    close();
    ScanStatus started = saneStartup();
    if (!started.ok())
        return started;
    SANE_Handle h = nullptr;
    const SANE_Status status = sane_open(deviceName.c_str(), &h);
    if (status != SANE_STATUS_GOOD || !h)
        return {ScanProblem::OpenFailed, int(status), deviceName};
    std::lock_guard lock(g_saneMutex);
    std::lock_guard readLock(m_readMutex);
    m_handle = h;
    m_session = g_session;
    m_name = deviceName;
    return {};
}

void SaneScanner::close()
{
    if (!m_handle)
        return;
    std::lock_guard lock(g_saneMutex);
    if (m_session == g_session)
        sane_close(handleOf(m_handle));
    std::lock_guard readLock(m_readMutex);
    m_handle = nullptr;
    m_name.clear();
}

bool SaneScanner::isOpen() const
{
    return usable();
}

bool SaneScanner::usable() const
{
    if (!m_handle)
        return false;
    std::lock_guard lock(g_saneMutex);
    return m_session == g_session;
}

int32_t SaneScanner::findOption(const char* name) const
{
    if (!usable())
        return -1;
    SANE_Handle h = handleOf(m_handle);
    SANE_Int count = 0;
    if (sane_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        count = kMaxOptions;
    count = std::clamp(count, 0, kMaxOptions);
    for (int32_t i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, i);
        if (!d) {
            if (count == kMaxOptions)
                break;
            continue;
        }
        if (d->name && std::strcmp(d->name, name) == 0)
            return i;
    }
    return -1;
}

bool SaneScanner::settable(int32_t option) const
{
    if (option <= 0)
        return false;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handleOf(m_handle), option);
    return d && SANE_OPTION_IS_ACTIVE(d->cap) && SANE_OPTION_IS_SETTABLE(d->cap);
}

std::optional<double> SaneScanner::number(int32_t option) const
{
    if (option <= 0)
        return std::nullopt;
    SANE_Handle h = handleOf(m_handle);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, option);
    if (!isNumber(d) || !SANE_OPTION_IS_ACTIVE(d->cap) || !(d->cap & SANE_CAP_SOFT_DETECT))
        return std::nullopt;
    std::vector<SANE_Word> value(size_t(d->size) / sizeof(SANE_Word));
    if (sane_control_option(h, option, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD)
        return std::nullopt;
    return fromWord(d, value[0]);
}

ScanStatus SaneScanner::setNumber(int32_t option, double value)
{
    SANE_Handle h = handleOf(m_handle);
    const SANE_Option_Descriptor* d = option > 0 ? sane_get_option_descriptor(h, option) : nullptr;
    if (!isNumber(d) || !settable(option) || !std::isfinite(value))
        return {ScanProblem::OptionRejected};
    SANE_Word w;
    if (d->type == SANE_TYPE_FIXED)
        w = SANE_Word(std::lround(std::clamp(value, -32767.0, 32767.0) * (1 << SANE_FIXED_SCALE_SHIFT)));
    else
        w = SANE_Word(std::lround(std::clamp(value, -2e9, 2e9)));
    std::vector<SANE_Word> words(size_t(d->size) / sizeof(SANE_Word), w);
    SANE_Int info = 0;
    const SANE_Status status = sane_control_option(h, option, SANE_ACTION_SET_VALUE, words.data(), &info);
    if (status != SANE_STATUS_GOOD)
        return ScanStatus::device(status);
    return {};
}

std::optional<std::string> SaneScanner::option(const std::string& name) const
{
    const int32_t o = findOption(name.c_str());
    if (o <= 0)
        return std::nullopt;
    SANE_Handle h = handleOf(m_handle);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, o);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || !(d->cap & SANE_CAP_SOFT_DETECT) || d->size <= 0)
        return std::nullopt;
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        SANE_Bool b = SANE_FALSE;
        if (sane_control_option(h, o, SANE_ACTION_GET_VALUE, &b, nullptr) != SANE_STATUS_GOOD)
            return std::nullopt;
        return std::string(b ? "true" : "false");
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        const std::optional<double> v = number(o);
        if (!v)
            return std::nullopt;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, d->type == SANE_TYPE_INT ? "%.0f" : "%.4f", *v);
        return std::string(buffer);
    }
    case SANE_TYPE_STRING: {
        std::vector<char> buffer(size_t(d->size) + 1, '\0');
        if (sane_control_option(h, o, SANE_ACTION_GET_VALUE, buffer.data(), nullptr) != SANE_STATUS_GOOD)
            return std::nullopt;
        return std::string(buffer.data());
    }
    default:
        return std::nullopt;
    }
}

ScanStatus SaneScanner::setOption(const std::string& name, const std::string& value)
{
    const int32_t o = findOption(name.c_str());
    if (o <= 0 || !settable(o))
        return {ScanProblem::NoSuchOption, int(SaneCode::Good), name};
    SANE_Handle h = handleOf(m_handle);
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, o);
    SANE_Status status = SANE_STATUS_INVAL;
    switch (d->type) {
    case SANE_TYPE_BOOL: {
        const std::string v = lower(value);
        SANE_Bool b = v == "true" || v == "1" || v == "yes" ? SANE_TRUE : SANE_FALSE;
        status = sane_control_option(h, o, SANE_ACTION_SET_VALUE, &b, nullptr);
        break;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED: {
        char* end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0')
            return {ScanProblem::NotANumber, int(SaneCode::Good), value};
        return setNumber(o, v);
    }
    case SANE_TYPE_STRING: {
        if (d->size <= 0 || value.size() >= size_t(d->size))
            return {ScanProblem::ValueTooLong, int(SaneCode::Good), name};
        std::vector<char> buffer(size_t(d->size), '\0');
        std::memcpy(buffer.data(), value.data(), value.size());
        status = sane_control_option(h, o, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
        break;
    }
    case SANE_TYPE_BUTTON:
        status = sane_control_option(h, o, SANE_ACTION_SET_VALUE, nullptr, nullptr);
        break;
    default:
        break;
    }
    if (status != SANE_STATUS_GOOD)
        return ScanStatus::device(status);
    return {};
}

std::vector<SaneScanner::ModeChoice> SaneScanner::modeChoices() const
{
    std::vector<ModeChoice> choices;
    if (!usable())
        return choices;
    SANE_Handle h = handleOf(m_handle);
    const int32_t o = findOption("mode");
    const SANE_Option_Descriptor* d = o > 0 ? sane_get_option_descriptor(h, o) : nullptr;
    if (d && d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST &&
        d->constraint.string_list && SANE_OPTION_IS_ACTIVE(d->cap)) {
        std::vector<std::string> entries;
        for (int32_t i = 0; i < kMaxListEntries && d->constraint.string_list[i]; ++i)
            entries.emplace_back(d->constraint.string_list[i]);
        // An entry named exactly like the choice wins over one that only
        // contains the word ("Color" before "Color 48 Bit").
        auto pick = [&entries](std::initializer_list<const char*> exact,
                               std::initializer_list<const char*> partial) -> std::string {
            for (const std::string& e : entries)
                for (const char* w : exact)
                    if (lower(e) == w)
                        return e;
            for (const std::string& e : entries)
                for (const char* w : partial)
                    if (lower(e).find(w) != std::string::npos)
                        return e;
            return {};
        };
        const std::string color = pick({"color", "colour", "rgb"}, {"color", "colour"});
        const std::string gray = pick({"gray", "grey", "grayscale", "greyscale"}, {"gray", "grey"});
        const std::string line = pick({"lineart", "line art", "binary", "black & white", "black and white"},
                                      {"lineart", "line art", "binary"});
        if (!color.empty())
            choices.push_back({ScanMode::Color, color, 8, false});
        if (!gray.empty())
            choices.push_back({ScanMode::Gray, gray, 8, false});
        if (!line.empty())
            choices.push_back({ScanMode::Lineart, line, 1, false});
        else if (!gray.empty() && allows(sane_get_option_descriptor(h, findOption("depth")), 1))
            // Grey at one bit per sample is line art (1 = black).
            choices.push_back({ScanMode::Lineart, gray, 1, true});
        if (!choices.empty())
            return choices;
    }
    // No mode we know: offer what the device delivers as it is set.
    SANE_Parameters p{};
    ScanMode only = ScanMode::Color;
    if (sane_get_parameters(h, &p) == SANE_STATUS_GOOD && p.format == SANE_FRAME_GRAY)
        only = p.depth == 1 ? ScanMode::Lineart : ScanMode::Gray;
    choices.push_back({only, std::string(), 0, false});
    return choices;
}

std::vector<ScanMode> SaneScanner::modes() const
{
    std::vector<ScanMode> modes;
    for (const ModeChoice& c : modeChoices())
        modes.push_back(c.mode);
    return modes;
}

std::optional<ScanMode> SaneScanner::mode() const
{
    const std::vector<ModeChoice> choices = modeChoices();
    const std::string current = option("mode").value_or(std::string());
    const std::optional<double> depth = number(findOption("depth"));
    std::optional<ScanMode> found;
    for (const ModeChoice& c : choices) {
        if (c.saneMode != current)
            continue;
        // Grey and grey at one bit share the device's mode.
        if (!found || (c.mode == ScanMode::Lineart && depth && *depth == 1))
            found = c.mode;
    }
    return found;
}

ScanStatus SaneScanner::setDepth(int32_t depth, bool required)
{
    const int32_t o = findOption("depth");
    if (depth <= 0 || !settable(o) || !allows(sane_get_option_descriptor(handleOf(m_handle), o), depth)) {
        if (required)
            return {ScanProblem::NoLineart};
        return {};
    }
    return setNumber(o, depth);
}

ScanStatus SaneScanner::setMode(ScanMode mode)
{
    for (const ModeChoice& c : modeChoices()) {
        if (c.mode != mode)
            continue;
        if (!c.saneMode.empty()) {
            ScanStatus status = setOption("mode", c.saneMode);
            if (!status.ok())
                return status;
        }
        return setDepth(c.depth, c.depthRequired);
    }
    return {ScanProblem::ModeUnavailable, int(SaneCode::Good), {}, mode};
}

ScanResolutions SaneScanner::resolutions() const
{
    ScanResolutions r;
    const int32_t o = findOption("resolution");
    if (o <= 0)
        return r;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handleOf(m_handle), o);
    if (!isNumber(d) || !SANE_OPTION_IS_ACTIVE(d->cap))
        return r;
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
        for (SANE_Word i = 1; i <= std::min(d->constraint.word_list[0], kMaxListEntries); ++i) {
            const double v = std::round(fromWord(d, d->constraint.word_list[i]));
            if (v >= 1 && v <= 1e6)
                r.values.push_back(int32_t(v));
        }
        std::sort(r.values.begin(), r.values.end());
        r.values.erase(std::unique(r.values.begin(), r.values.end()), r.values.end());
        return r;
    }
    r.isRange = true;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
        r.min = int32_t(std::clamp(std::ceil(fromWord(d, d->constraint.range->min)), 1.0, 1e6));
        r.max = int32_t(std::clamp(std::floor(fromWord(d, d->constraint.range->max)), 0.0, 1e6));
        r.step = int32_t(std::clamp(std::round(fromWord(d, d->constraint.range->quant)), 1.0, 1e6));
    } else {
        // No constraint: any sensible resolution.
        r.min = 1;
        r.max = 9600;
    }
    return r;
}

int32_t SaneScanner::resolution() const
{
    const std::optional<double> v = number(findOption("resolution"));
    return v ? int32_t(std::lround(std::clamp(*v, 0.0, 1e6))) : 0;
}

ScanStatus SaneScanner::setResolution(int32_t dpi)
{
    const int32_t o = findOption("resolution");
    if (o <= 0)
        return {ScanProblem::NoResolution};
    return setNumber(o, dpi);
}

namespace {
const char* const kAreaOptions[4] = {"tl-x", "tl-y", "br-x", "br-y"};
}

bool SaneScanner::hasArea() const
{
    if (!usable())
        return false;
    for (const char* name : kAreaOptions) {
        const int32_t o = findOption(name);
        const SANE_Option_Descriptor* d = o > 0 ? sane_get_option_descriptor(handleOf(m_handle), o) : nullptr;
        if (!isNumber(d) || d->unit != SANE_UNIT_MM || !settable(o) || !(d->cap & SANE_CAP_SOFT_DETECT))
            return false;
    }
    return true;
}

ScanArea SaneScanner::area() const
{
    double v[4] = {};
    for (int i = 0; i < 4; ++i)
        v[i] = number(findOption(kAreaOptions[i])).value_or(0);
    return {v[0], v[1], v[2], v[3]};
}

ScanArea SaneScanner::maximumArea() const
{
    ScanArea a = area();
    double* ends[4] = {&a.left, &a.top, &a.right, &a.bottom};
    for (int i = 0; i < 4; ++i) {
        const int32_t o = findOption(kAreaOptions[i]);
        const SANE_Option_Descriptor* d = o > 0 ? sane_get_option_descriptor(handleOf(m_handle), o) : nullptr;
        if (isNumber(d) && d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range)
            *ends[i] = fromWord(d, i < 2 ? d->constraint.range->min : d->constraint.range->max);
    }
    return a;
}

ScanStatus SaneScanner::setArea(const ScanArea& area)
{
    if (!(area.right > area.left) || !(area.bottom > area.top))
        return {ScanProblem::EmptyArea};
    const double v[4] = {area.left, area.top, area.right, area.bottom};
    for (int i = 0; i < 4; ++i) {
        ScanStatus status = setNumber(findOption(kAreaOptions[i]), v[i]);
        if (!status.ok())
            return status;
    }
    return {};
}

ScanStatus SaneScanner::parameters(ScanFrameParameters& p) const
{
    if (!usable())
        return {ScanProblem::NotOpen};
    SANE_Parameters sp{};
    const SANE_Status status = sane_get_parameters(handleOf(m_handle), &sp);
    if (status != SANE_STATUS_GOOD)
        return ScanStatus::device(status);
    p.format = ScanFrameFormat(int32_t(sp.format));
    p.lastFrame = sp.last_frame != SANE_FALSE;
    p.bytesPerLine = sp.bytes_per_line;
    p.pixelsPerLine = sp.pixels_per_line;
    p.lines = sp.lines;
    p.depth = sp.depth;
    return {};
}

void SaneScanner::interrupt()
{
    // The reading thread stops by itself at its next chunk and cancels then
    // (see scan()). Some backends end their reader thread the hard way on
    // sane_cancel, which must not catch it in the middle of its work; so only a
    // read that stays stuck is cut short from here.
    for (int i = 0; i < 50; ++i) {
        {
            std::lock_guard lock(m_readMutex);
            if (!m_reading)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::lock_guard lock(m_readMutex);
    if (m_reading && m_handle)
        sane_cancel(handleOf(m_handle));
}

bool SaneScanner::readFrame(ScanFrame& frame, uint64_t& done, uint64_t& expected, bool first,
                            const std::set<long>& scanThreadsBefore, const Progress& progress,
                            const std::atomic<bool>& cancel, ScanResult& result)
{
    auto fail = [&result](ScanStatus why) {
        result.outcome = ScanOutcome::Failed;
        result.error = std::move(why);
        return false;
    };
    SANE_Handle h = handleOf(m_handle);
    ScanStatus announced = parameters(frame.parameters);
    if (!announced.ok())
        return fail(std::move(announced));
    const ScanFrameParameters& p = frame.parameters;
    announced = checkScanFrameParameters(p);
    if (!announced.ok())
        return fail(std::move(announced));
    const uint64_t limit = maxScanFrameBytes(p);
    if (first) {
        const bool threePass = p.format != ScanFrameFormat::Gray && p.format != ScanFrameFormat::Rgb;
        expected = p.lines > 0 ? limit * (threePass ? 3 : 1) : 0;
    }

    constexpr SANE_Int kChunk = 1 << 16;
    std::vector<SANE_Byte> chunk(kChunk);
    uint64_t surplus = 0;
    bool readerSettled = false;
    try {
        // Room for the announced frame, within reason: an absurd announcement
        // must not cost memory before any data has come.
        if (p.lines > 0)
            frame.data.reserve(std::min<uint64_t>(limit, uint64_t(1) << 28));
        for (;;) {
            {
                std::lock_guard lock(m_readMutex);
                m_reading = true;
            }
            // The read that hands over the frame's last bytes may end the
            // backend's reader thread under way: let it end by itself first
            // (once: a thread still there afterwards lives on).
            if (!readerSettled && p.lines > 0 && limit - frame.data.size() <= uint64_t(kChunk)) {
                waitForBackendThreads(scanThreadsBefore, std::chrono::milliseconds(500));
                readerSettled = true;
            }
            SANE_Int length = 0;
            const SANE_Status status = sane_read(h, chunk.data(), kChunk, &length);
            {
                std::lock_guard lock(m_readMutex);
                m_reading = false;
            }
            if (cancel || status == SANE_STATUS_CANCELLED) {
                result.outcome = ScanOutcome::Cancelled;
                return false;
            }
            if (status == SANE_STATUS_EOF)
                return true;
            if (status != SANE_STATUS_GOOD)
                return fail(ScanStatus::device(status));
            if (length < 0 || length > kChunk)
                return fail({ScanProblem::BadDataSize});
            if (length == 0) {
                // Nothing yet; do not spin while the device is busy.
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            // Padding after the announced lines is dropped; a flood is a fault.
            const uint64_t room = limit - frame.data.size();
            const uint64_t take = std::min<uint64_t>(room, uint64_t(length));
            frame.data.insert(frame.data.end(), chunk.begin(), chunk.begin() + ptrdiff_t(take));
            surplus += uint64_t(length) - take;
            if (surplus > limit)
                return fail({ScanProblem::TooMuchData});
            done += uint64_t(length);
            if (progress)
                progress(std::min(done, expected ? expected : done), expected);
        }
    } catch (const std::bad_alloc&) {
        return fail(ScanStatus::device(SANE_STATUS_NO_MEM));
    }
}

ScanResult SaneScanner::scan(const Progress& progress, const std::atomic<bool>& cancel)
{
    ScanResult result;
    if (!usable()) {
        result.error = {ScanProblem::NotOpen};
        return result;
    }
    SANE_Handle h = handleOf(m_handle);
    std::vector<ScanFrame> frames;
    const std::set<long> threadsBefore = processThreads();
    uint64_t done = 0;
    uint64_t expected = 0;
    bool complete = false;
    while (!complete) {
        if (cancel) {
            result.outcome = ScanOutcome::Cancelled;
            break;
        }
        if (frames.size() == 3) {
            result.error = {ScanProblem::TooManyFrames};
            break;
        }
        const SANE_Status status = sane_start(h);
        if (cancel || status == SANE_STATUS_CANCELLED) {
            result.outcome = ScanOutcome::Cancelled;
            break;
        }
        if (status != SANE_STATUS_GOOD) {
            result.error = ScanStatus::device(status);
            break;
        }
        ScanFrame frame;
        if (!readFrame(frame, done, expected, frames.empty(), threadsBefore, progress, cancel, result))
            break;
        // A grey or colour frame is a whole picture even without the last-frame mark.
        complete = frame.parameters.lastFrame || frame.parameters.format == ScanFrameFormat::Gray ||
                   frame.parameters.format == ScanFrameFormat::Rgb;
        frames.push_back(std::move(frame));
    }
    // After the last frame as after an error or a cancel: the device is free again.
    waitForBackendThreads(threadsBefore);
    {
        std::lock_guard lock(m_readMutex);
        sane_cancel(h);
    }
    if (!complete)
        return result;
    result.error = packedDibFromScanFrames(frames, result.packedDib);
    if (!result.error.ok()) {
        result.outcome = ScanOutcome::Failed;
        return result;
    }
    result.outcome = ScanOutcome::Picture;
    return result;
}

} // namespace knetix
