#include "platform.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tv::platform {

namespace {

// Value in kB of a "Key:   1234 kB" line, if the text has that key.
std::optional<uint64_t> meminfoValue(std::string_view text, std::string_view key)
{
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':')
            continue;
        std::string_view rest = line.substr(key.size() + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
            rest.remove_prefix(1);
        uint64_t v = 0;
        auto [p, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), v);
        if (ec != std::errc() || p == rest.data())
            return std::nullopt;
        return v;
    }
    return std::nullopt;
}

} // namespace

std::optional<MemoryStatus> parseMeminfo(std::string_view text)
{
    const auto total = meminfoValue(text, "MemTotal");
    if (!total || *total == 0)
        return std::nullopt;
    auto avail = meminfoValue(text, "MemAvailable");
    if (!avail) {
        const auto freeKb = meminfoValue(text, "MemFree").value_or(0);
        avail = freeKb + meminfoValue(text, "Buffers").value_or(0) + meminfoValue(text, "Cached").value_or(0);
    }
    uint64_t available = std::min(*avail, *total);
    MemoryStatus s;
    s.totalPhysBytes = *total * 1024;
    // Rounded to the nearest percent, as the system's own figure would be.
    s.memoryLoad = int(((*total - available) * 100 + *total / 2) / *total);
    return s;
}

MemoryStatus memoryStatus()
{
#ifdef _WIN32
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (GlobalMemoryStatusEx(&ms))
        return MemoryStatus{ms.ullTotalPhys, int(ms.dwMemoryLoad)};
    return {};
#else
    std::ifstream in("/proc/meminfo");
    if (!in)
        return {};
    std::stringstream buf;
    buf << in.rdbuf();
    return parseMeminfo(buf.str()).value_or(MemoryStatus{});
#endif
}

bool isWin95Family()
{
#ifdef _WIN32
    OSVERSIONINFOA vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
#pragma warning(suppress : 4996)
    if (!GetVersionExA(&vi))
        return true;
    return vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
#else
    return false;
#endif
}

} // namespace tv::platform
