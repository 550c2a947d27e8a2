// A background picture of the result list: a bitmap and the file it came from (which is what the
// saved properties keep).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "UniqueHandle.h"

namespace tessaly {

class ListPicture {
public:
    ListPicture(unique_hbitmap bitmap, std::wstring source) noexcept;
    // A .bmp file; nullptr when it cannot be loaded.
    static std::shared_ptr<ListPicture> FromFile(const std::wstring& path) noexcept;

    [[nodiscard]] HBITMAP Bitmap() const noexcept { return m_bitmap.get(); }
    [[nodiscard]] const std::wstring& Source() const noexcept { return m_source; }
    [[nodiscard]] SIZE Size() const noexcept;

private:
    unique_hbitmap m_bitmap;
    std::wstring m_source;
};

using PicturePtr = std::shared_ptr<ListPicture>;

}  // namespace tessaly
