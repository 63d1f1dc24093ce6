#include "browser/model/Listing.h"

#include <algorithm>
#include <cctype>

namespace knetix::browser {

namespace {

std::string upper(std::string_view text)
{
    std::string out(text);
    for (char& ch : out)
        ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return out;
}

// The extension (upper case, with its dot) under which a file type lists the
// other spellings of its format.
std::string canonicalExtension(std::string ext)
{
    ext = upper(ext);
    if (ext == ".JPEG" || ext == ".JPE")
        return ".JPG";
    if (ext == ".TIFF")
        return ".TIF";
    if (ext == ".HEIF")
        return ".HEIC";
    return ext;
}

// The extension with its dot, from the last dot of the name part, or empty.
std::string_view extensionOf(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot);
}

} // namespace

std::vector<FileType> parseFilter(std::string_view filter)
{
    std::vector<FileType> types;
    while (true) {
        const size_t bar = filter.find('|');
        if (bar == std::string_view::npos || bar == 0)
            break;
        FileType type;
        type.description = std::string(filter.substr(0, bar));
        filter.remove_prefix(bar + 1);
        const size_t end = filter.find('|');
        type.pattern = std::string(filter.substr(0, end));
        types.push_back(std::move(type));
        if (end == std::string_view::npos)
            break;
        filter.remove_prefix(end + 1);
    }
    return types;
}

bool matchesPattern(std::string_view fileName, std::string_view pattern)
{
    const size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string pat = upper(pattern);
    if (pat.find(".*") != std::string::npos)
        return true;
    auto taken = [&pat](const std::string& ext) {
        // Only the first occurrence counts: ".JP" in "*.JPG;*.JP" is not taken.
        const size_t at = pat.find(ext);
        if (at == std::string::npos)
            return false;
        const size_t after = at + ext.size();
        return after == pat.size() || pat[after] == ';';
    };
    const std::string ext = upper(fileName.substr(dot));
    if (taken(ext))
        return true;
    // The other spellings of the same formats go with their type.
    const std::string canonical = canonicalExtension(ext);
    return canonical != ext && taken(canonical);
}

std::string completeFileName(const std::string& chosenPath, std::string_view pattern)
{
    std::string wanted(pattern.substr(0, pattern.find(';')));
    if (wanted.starts_with('*'))
        wanted.erase(0, 1);
    if (!wanted.starts_with('.') || wanted.find('*') != std::string::npos)
        return chosenPath; // "*.*" names no extension
    if (canonicalExtension(std::string(extensionOf(chosenPath))) == canonicalExtension(wanted))
        return chosenPath;
    for (char& ch : wanted)
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return chosenPath + wanted;
}

std::string resolveTypedPath(std::string_view typed, std::string_view folder, std::string_view home)
{
    std::string path;
    if (typed == "~" || typed.starts_with("~/"))
        path = withSlash(home) + std::string(typed.substr(typed.size() > 1 ? 2 : 1));
    else if (typed.starts_with('/'))
        path = std::string(typed);
    else
        path = withSlash(folder) + std::string(typed);
    // "." and ".." by their names, as the shell takes them; never above "/".
    std::vector<std::string_view> parts;
    std::string_view rest = path;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (std::string_view part : parts)
        out.append("/").append(part);
    if (out.empty() || path.ends_with('/'))
        out += '/';
    return out;
}

std::vector<int32_t> fitColumns(const std::vector<int32_t>& itemWidths, int32_t available, int32_t gap)
{
    available = std::max(available, 1);
    const size_t count = itemWidths.size();
    if (count == 0)
        return {available};
    const int32_t narrowest = std::max(1, *std::min_element(itemWidths.begin(), itemWidths.end()));
    size_t columns = std::min(count, size_t(std::max(1, (available + gap) / (narrowest + gap))));
    std::vector<int32_t> widths;
    for (; columns >= 1; --columns) {
        widths.assign(columns, 0);
        for (size_t i = 0; i < count; ++i)
            widths[i % columns] = std::max(widths[i % columns], std::min(itemWidths[i], available));
        int64_t total = int64_t(gap) * int64_t(columns - 1);
        for (int32_t w : widths)
            total += w;
        if (total <= available)
            break;
    }
    return widths;
}

DriveKind classifyVolume(std::string_view type, std::string_view root)
{
    const std::string t = upper(type);
    for (std::string_view remote : {"NFS", "NFS4", "CIFS", "SMB", "SMBFS", "SMB3", "FUSE.SSHFS", "AFS", "9P"})
        if (t == remote)
            return DriveKind::Remote;
    if (t == "ISO9660" || t == "UDF")
        return DriveKind::CdRom;
    if (t == "TMPFS" || t == "RAMFS")
        return DriveKind::RamDisk;
    if (root.starts_with("/media/") || root.starts_with("/run/media/") || root.starts_with("/mnt/"))
        return DriveKind::Removable;
    return t.empty() ? DriveKind::Unknown : DriveKind::Fixed;
}

int32_t driveIcon(DriveKind kind)
{
    switch (kind) {
    case DriveKind::Removable: return 6;
    case DriveKind::Fixed: return 9;
    case DriveKind::Remote: return 10;
    case DriveKind::CdRom: return 12;
    case DriveKind::RamDisk:
    case DriveKind::Unknown: break;
    }
    return 0;
}

bool naturalLess(std::string_view a, std::string_view b)
{
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto lower = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Compare the runs by value: without leading zeros, the longer
            // run is the larger number, else the first differing digit says.
            size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            const std::string_view na = a.substr(si, ei - si), nb = b.substr(sj, ej - sj);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        const char ca = lower(a[i]), cb = lower(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size(); // the shorter name first
    return a < b;            // only case or leading zeros differ
}

bool listFolder(const std::filesystem::path& folder, std::string_view pattern,
                std::vector<ListEntry>& entries, std::error_code& error)
{
    namespace fs = std::filesystem;
    entries.clear();
    std::vector<ListEntry> files;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    if (error)
        return false;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            return false;
        const std::string name = it->path().filename().string();
        if (name.starts_with('.'))
            continue; // hidden
        std::error_code statError;
        if (it->is_directory(statError))
            entries.push_back({name, true});
        else if (matchesPattern(name, pattern))
            files.push_back({name, false});
    }
    if (error)
        return false;
    auto byName = [](const ListEntry& x, const ListEntry& y) { return naturalLess(x.name, y.name); };
    std::sort(entries.begin(), entries.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    entries.insert(entries.end(), files.begin(), files.end());
    return true;
}

bool folderIsEmpty(const std::filesystem::path& folder)
{
    std::error_code error;
    const bool empty = std::filesystem::is_empty(folder, error);
    return !error && empty;
}

std::string withSlash(std::string_view folder)
{
    std::string out(folder);
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

std::string parentFolder(std::string_view folder)
{
    if (folder.size() <= 1)
        return {};
    std::string_view inner = folder.substr(0, folder.size() - 1);
    const size_t slash = inner.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    return std::string(folder.substr(0, slash + 1));
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upper(a) == upper(b);
}

void FolderTrail::setVolumes(const std::vector<Volume>& volumes)
{
    m_entries.assign(1, Entry{});
    m_current = 0;
    bool haveFixed = false;
    for (const Volume& v : volumes) {
        m_entries.push_back({withSlash(v.root), v.kind, 1});
        if (!haveFixed && v.kind == DriveKind::Fixed) {
            haveFixed = true;
            m_current = int32_t(m_entries.size() - 1);
        }
    }
}

void FolderTrail::enter(std::string_view folderView)
{
    const std::string folder = withSlash(folderView);
    // The prefixes start at the volume that holds the folder (the longest root).
    size_t start = 0;
    for (const Entry& e : m_entries)
        if (e.depth == 1 && folder.size() >= e.path.size() && sameName(folder.substr(0, e.path.size()), e.path))
            start = std::max(start, e.path.size());
    if (start == 0)
        start = 1;
    for (size_t end = start; end <= folder.size(); end = folder.find('/', end) + 1) {
        const std::string prefix = folder.substr(0, end);
        auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const Entry& e) { return !e.path.empty() && sameName(e.path, prefix); });
        if (found != m_entries.end()) {
            m_current = int32_t(found - m_entries.begin());
        } else {
            const Entry& parent = m_entries[size_t(m_current)];
            Entry entry{prefix, parent.kind, parent.depth + 1};
            m_entries.insert(m_entries.begin() + m_current + 1, entry);
            ++m_current;
        }
        if (end == folder.size())
            break;
    }
}

void FolderTrail::up()
{
    const Entry& e = m_entries[size_t(m_current)];
    if (e.depth >= 2) {
        m_entries.erase(m_entries.begin() + m_current);
        --m_current;
    } else {
        m_current = 0;
    }
}

void FolderTrail::choose(int32_t index)
{
    if (index < 0 || size_t(index) >= m_entries.size())
        return;
    const int32_t keepDepth = std::max(m_entries[size_t(index)].depth, 1);
    size_t i = size_t(index) + 1;
    if (index == 0) {
        std::erase_if(m_entries, [](const Entry& e) { return e.depth >= 2; });
    } else {
        while (i < m_entries.size() && m_entries[i].depth > keepDepth)
            m_entries.erase(m_entries.begin() + long(i));
    }
    m_current = index;
}

} // namespace knetix::browser
