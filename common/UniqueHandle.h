// Move-only owners for Win32 handles, registry keys, GDI objects, mapped views and COM pointers.
// One template with the invalid value and the close call as traits; every handle the programs
// open is held by one of these typedefs.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <ole2.h>

#include <utility>

namespace tessaly {

template <typename Traits>
class unique_handle {
public:
    using pointer = typename Traits::pointer;

    unique_handle() noexcept = default;
    explicit unique_handle(pointer value) noexcept : m_value(value) {}
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : m_value(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_handle() { reset(); }

    [[nodiscard]] pointer get() const noexcept { return m_value; }
    [[nodiscard]] bool valid() const noexcept { return m_value != Traits::invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    pointer release() noexcept { return std::exchange(m_value, Traits::invalid()); }
    void reset(pointer value = Traits::invalid()) noexcept {
        pointer old = std::exchange(m_value, value);
        if (old != Traits::invalid()) Traits::close(old);
    }
    // For out-parameters of Win32 calls: releases what is held and hands out the slot.
    pointer* put() noexcept {
        reset();
        return &m_value;
    }

private:
    pointer m_value = Traits::invalid();
};

struct NullHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using pointer = HKEY;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::RegCloseKey(h); }
};
struct MappedViewTraits {
    using pointer = void*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { ::UnmapViewOfFile(p); }
};
template <typename T>
struct GdiObjectTraits {
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    using pointer = HDC;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DeleteDC(h); }
};
struct ModuleTraits {
    using pointer = HMODULE;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::FreeLibrary(h); }
};
struct IconTraits {
    using pointer = HICON;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyIcon(h); }
};
struct MenuTraits {
    using pointer = HMENU;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyMenu(h); }
};

using unique_kernel_handle = unique_handle<NullHandleTraits>;  // processes, threads, events, mappings
using unique_file = unique_handle<FileHandleTraits>;
using unique_find = unique_handle<FindHandleTraits>;
using unique_hkey = unique_handle<RegKeyTraits>;
using unique_view = unique_handle<MappedViewTraits>;
using unique_hbitmap = unique_handle<GdiObjectTraits<HBITMAP>>;
using unique_hbrush = unique_handle<GdiObjectTraits<HBRUSH>>;
using unique_hpen = unique_handle<GdiObjectTraits<HPEN>>;
using unique_hfont = unique_handle<GdiObjectTraits<HFONT>>;
using unique_hrgn = unique_handle<GdiObjectTraits<HRGN>>;
using unique_memdc = unique_handle<MemoryDcTraits>;
using unique_module = unique_handle<ModuleTraits>;
using unique_hicon = unique_handle<IconTraits>;
using unique_hmenu = unique_handle<MenuTraits>;

// Owner of one COM interface pointer.
template <typename T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    explicit com_ptr(T* p) noexcept : m_p(p) {}  // takes over a reference
    com_ptr(const com_ptr& o) noexcept : m_p(o.m_p) { if (m_p) m_p->AddRef(); }
    com_ptr(com_ptr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    com_ptr& operator=(com_ptr o) noexcept { std::swap(m_p, o.m_p); return *this; }
    ~com_ptr() { reset(); }

    T* get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    void reset() noexcept { if (auto p = std::exchange(m_p, nullptr)) p->Release(); }
    T** put() noexcept { reset(); return &m_p; }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
    T* detach() noexcept { return std::exchange(m_p, nullptr); }

    template <typename U>
    com_ptr<U> query() const noexcept {
        com_ptr<U> out;
        if (m_p) m_p->QueryInterface(__uuidof(U), out.put_void());
        return out;
    }

private:
    T* m_p = nullptr;
};

// Initialises COM on this thread for the life of the object (apartment-threaded, as the UI needs).
class ComApartment {
public:
    ComApartment() noexcept : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    [[nodiscard]] bool ok() const noexcept { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

// OLE on this thread (COM apartment plus what in-place controls need), undone at scope end.
class OleApartment {
public:
    OleApartment() noexcept : m_hr(::OleInitialize(nullptr)) {}
    ~OleApartment() { if (SUCCEEDED(m_hr)) ::OleUninitialize(); }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;
    [[nodiscard]] bool ok() const noexcept { return SUCCEEDED(m_hr); }

private:
    HRESULT m_hr;
};

// Paired acquire/release for device contexts and selected GDI objects.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    ~WindowDc() { if (m_dc) ::ReleaseDC(m_hwnd, m_dc); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

class PaintDc {
public:
    explicit PaintDc(HWND hwnd) noexcept : m_hwnd(hwnd) { m_dc = ::BeginPaint(hwnd, &m_ps); }
    ~PaintDc() { ::EndPaint(m_hwnd, &m_ps); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return m_dc; }
    [[nodiscard]] const PAINTSTRUCT& info() const noexcept { return m_ps; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_dc = nullptr;
};

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) noexcept : m_dc(dc), m_old(::SelectObject(dc, obj)) {}
    ~SelectedObject() { if (m_old) ::SelectObject(m_dc, m_old); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace tessaly
