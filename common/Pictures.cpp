// Pictures from the program's BITMAP resources (32 bits per pixel, straight alpha), premultiplied
// once, scaled by area averaging to each size asked for and blended with GdiAlphaBlend. One cache
// per process owns every bitmap and icon handed out; it frees them when the process ends.
#include "Pictures.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "FaultLog.h"
#include "UniqueHandle.h"

namespace tessaly::pictures {
namespace {

// Larger than any picture of the suite; guards the arithmetic against a damaged resource.
constexpr int kMaxSide = 1024;
// Distinct sizes kept at once; a program draws each picture in one or two sizes.
constexpr std::size_t kMaxScaledBitmaps = 128;

// Premultiplied BGRA, top row first.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> bgra;
};

std::uint32_t Premultiply(std::uint32_t bgra) {
    const std::uint32_t a = bgra >> 24;
    auto channel = [&](int shift) { return ((((bgra >> shift) & 0xFF) * a + 127) / 255) << shift; };
    return (a << 24) | channel(16) | channel(8) | channel(0);
}

std::optional<Pixels> ReadBitmapResource(int id) {
    if (id < 1 || id > 0xFFFF) return std::nullopt;
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!found) return std::nullopt;
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const auto* data = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data || size < sizeof(BITMAPINFOHEADER)) return std::nullopt;
    BITMAPINFOHEADER header{};
    std::memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof header || header.biSize > size || header.biBitCount != 32 || header.biPlanes != 1)
        return std::nullopt;
    DWORD offset = header.biSize;
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof header) offset += 3 * sizeof(DWORD);
    else if (header.biCompression != BI_RGB && header.biCompression != BI_BITFIELDS) return std::nullopt;
    const int width = header.biWidth;
    const bool bottomUp = header.biHeight > 0;
    const int height = bottomUp ? header.biHeight : -header.biHeight;
    if (width <= 0 || width > kMaxSide || height <= 0 || height > kMaxSide) return std::nullopt;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (offset > size || (size - offset) / 4 < count) return std::nullopt;

    Pixels pixels{width, height, std::vector<std::uint32_t>(count)};
    for (int row = 0; row < height; ++row) {
        const int source = bottomUp ? height - 1 - row : row;
        const unsigned char* line = data + offset + static_cast<std::size_t>(source) * width * 4;
        for (int x = 0; x < width; ++x) {
            std::uint32_t value = 0;
            std::memcpy(&value, line + static_cast<std::size_t>(x) * 4, 4);
            pixels.bgra[static_cast<std::size_t>(row) * width + x] = Premultiply(value);
        }
    }
    return pixels;
}

// For each target index along one axis, the source indices it covers with their share of it.
struct Tap {
    int source;
    float weight;
};
std::vector<std::vector<Tap>> AreaTaps(int sourceLength, int targetLength) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(targetLength));
    const double scale = static_cast<double>(sourceLength) / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double begin = i * scale;
        const double end = (i + 1) * scale;
        for (int s = static_cast<int>(begin); s < sourceLength && s < end; ++s) {
            const double covered = std::min<double>(end, s + 1) - std::max<double>(begin, s);
            if (covered > 0) taps[static_cast<std::size_t>(i)].push_back({s, static_cast<float>(covered / scale)});
        }
    }
    return taps;
}

std::vector<std::uint32_t> Scale(const Pixels& from, int width, int height) {
    if (width == from.width && height == from.height) return from.bgra;
    const auto columns = AreaTaps(from.width, width);
    const auto rows = AreaTaps(from.height, height);
    // Across first, into four float channels per pixel, then down.
    std::vector<float> across(static_cast<std::size_t>(width) * from.height * 4, 0.0f);
    for (int y = 0; y < from.height; ++y) {
        for (int x = 0; x < width; ++x) {
            float* out = &across[(static_cast<std::size_t>(y) * width + x) * 4];
            for (const Tap& tap : columns[static_cast<std::size_t>(x)]) {
                const std::uint32_t p = from.bgra[static_cast<std::size_t>(y) * from.width + tap.source];
                for (int c = 0; c < 4; ++c) out[c] += tap.weight * static_cast<float>((p >> (8 * c)) & 0xFF);
            }
        }
    }
    std::vector<std::uint32_t> result(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (const Tap& tap : rows[static_cast<std::size_t>(y)]) {
                const float* in = &across[(static_cast<std::size_t>(tap.source) * width + x) * 4];
                for (int c = 0; c < 4; ++c) sum[c] += tap.weight * in[c];
            }
            std::uint32_t value = 0;
            for (int c = 0; c < 4; ++c) {
                const float v = sum[c] + 0.5f;
                value |= static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v) << (8 * c);
            }
            result[static_cast<std::size_t>(y) * width + x] = value;
        }
    }
    return result;
}

unique_hbitmap MakeDib(const std::vector<std::uint32_t>& bgra, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first, as the pixels are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hbitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (dib && bits) std::memcpy(bits, bgra.data(), bgra.size() * sizeof(std::uint32_t));
    return dib;
}

class PictureCache {
public:
    HBITMAP Bitmap(int id, int width, int height) {
        const auto key = std::make_tuple(id, width, height);
        if (const auto found = m_scaled.find(key); found != m_scaled.end()) return found->second.get();
        const std::optional<Pixels>& source = Source(id);
        if (!source) return nullptr;
        if (m_scaled.size() >= kMaxScaledBitmaps) m_scaled.clear();
        unique_hbitmap dib = MakeDib(Scale(*source, width, height), width, height);
        HBITMAP handle = dib.get();
        if (dib) m_scaled.emplace(key, std::move(dib));
        return handle;
    }

    HICON Icon(int size) {
        if (const auto found = m_icons.find(size); found != m_icons.end()) return found->second.get();
        unique_hicon icon(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                          MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON, size,
                                                          size, LR_DEFAULTCOLOR)));
        HICON handle = icon.get();
        if (icon) m_icons.emplace(size, std::move(icon));
        return handle;
    }

    std::mutex& Lock() { return m_lock; }

private:
    const std::optional<Pixels>& Source(int id) {
        auto found = m_sources.find(id);
        if (found == m_sources.end()) found = m_sources.emplace(id, ReadBitmapResource(id)).first;
        return found->second;
    }

    std::mutex m_lock;
    std::map<int, std::optional<Pixels>> m_sources;
    std::map<std::tuple<int, int, int>, unique_hbitmap> m_scaled;
    std::map<int, unique_hicon> m_icons;
};

PictureCache& Cache() {
    static PictureCache cache;
    return cache;
}

}  // namespace

bool Draw(HDC dc, const RECT& box, Picture picture) noexcept {
    try {
        const int width = box.right - box.left;
        const int height = box.bottom - box.top;
        if (!dc || width <= 0 || height <= 0 || width > kMaxSide * 4 || height > kMaxSide * 4) return false;
        PictureCache& cache = Cache();
        std::lock_guard<std::mutex> guard(cache.Lock());
        HBITMAP bitmap = cache.Bitmap(kPictureResourceBase + static_cast<int>(picture), width, height);
        if (!bitmap) return false;
        unique_memdc memory(::CreateCompatibleDC(dc));
        if (!memory) return false;
        SelectedObject selected(memory.get(), bitmap);
        BLENDFUNCTION blend{};
        blend.BlendOp = AC_SRC_OVER;
        blend.SourceConstantAlpha = 255;
        blend.AlphaFormat = AC_SRC_ALPHA;
        return ::GdiAlphaBlend(dc, box.left, box.top, width, height, memory.get(), 0, 0, width, height, blend) !=
               FALSE;
    } catch (...) {
        LogCaughtFault(L"Draw");
        return false;
    }
}

HICON AppIcon(int size) noexcept {
    try {
        if (size <= 0) size = ::GetSystemMetrics(SM_CXICON);
        PictureCache& cache = Cache();
        std::lock_guard<std::mutex> guard(cache.Lock());
        return cache.Icon(size);
    } catch (...) {
        LogCaughtFault(L"AppIcon");
        return nullptr;
    }
}

}  // namespace tessaly::pictures
