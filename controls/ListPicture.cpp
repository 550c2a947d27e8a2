// Background picture; see ListPicture.h.
#include "ListPicture.h"

#include "FaultLog.h"

namespace tessaly {

ListPicture::ListPicture(unique_hbitmap bitmap, std::wstring source) noexcept
    : m_bitmap(std::move(bitmap)), m_source(std::move(source)) {}

std::shared_ptr<ListPicture> ListPicture::FromFile(const std::wstring& path) noexcept {
    try {
        unique_hbitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
        if (!bitmap) return nullptr;
        return std::make_shared<ListPicture>(std::move(bitmap), path);
    } catch (...) {
        LogCaughtFault(L"ListPicture::FromFile");
        return nullptr;
    }
}

SIZE ListPicture::Size() const noexcept {
    BITMAP info{};
    if (!m_bitmap || !::GetObjectW(m_bitmap.get(), sizeof info, &info)) return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

}  // namespace tessaly
