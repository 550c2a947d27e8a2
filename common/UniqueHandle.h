// Move-only owners for Win32 handles, registry keys, GDI objects, mapped views, sockets, CryptoAPI
// handles and COM pointers, and scoped owners for what a thread or a call holds for a while.
// One template with the invalid value and the close call as traits; every handle the programs
// open is held by one of these typedefs.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <unknwn.h>
#include <ole2.h>
#include <oleauto.h>
#include <shtypes.h>

#include <string_view>
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

struct BstrTraits {
    using pointer = BSTR;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer b) noexcept { ::SysFreeString(b); }
};
// Memory the COM allocator handed out: item-id lists of the shell, strings of StringFromCLSID.
template <typename T>
struct CoTaskMemTraits {
    using pointer = T*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { ::CoTaskMemFree(p); }
};
// Memory from LocalAlloc, as security descriptors and FormatMessage buffers come.
template <typename T>
struct LocalMemTraits {
    using pointer = T;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { ::LocalFree(reinterpret_cast<HLOCAL>(p)); }
};
struct AddrInfoTraits {
    using pointer = ADDRINFOW*;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer p) noexcept { ::FreeAddrInfoW(p); }
};

struct WindowTraits {
    using pointer = HWND;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyWindow(h); }
};
struct SocketTraits {
    using pointer = SOCKET;
    static pointer invalid() noexcept { return INVALID_SOCKET; }
    static void close(pointer s) noexcept { ::closesocket(s); }
};
struct CryptProvTraits {
    using pointer = HCRYPTPROV;
    static pointer invalid() noexcept { return 0; }
    static void close(pointer h) noexcept { ::CryptReleaseContext(h, 0); }
};
struct CryptHashTraits {
    using pointer = HCRYPTHASH;
    static pointer invalid() noexcept { return 0; }
    static void close(pointer h) noexcept { ::CryptDestroyHash(h); }
};

// An ICMP echo handle of IcmpCreateFile (link iphlpapi where it is used).
struct IcmpHandleTraits {
    using pointer = HANDLE;
    static pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(pointer h) noexcept { ::IcmpCloseHandle(h); }
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
using unique_bstr = unique_handle<BstrTraits>;
template <typename T>
using unique_cotaskmem = unique_handle<CoTaskMemTraits<T>>;
using unique_pidl = unique_cotaskmem<ITEMIDLIST>;
template <typename T>
using unique_local = unique_handle<LocalMemTraits<T>>;
using unique_addrinfo = unique_handle<AddrInfoTraits>;
using unique_icmp = unique_handle<IcmpHandleTraits>;
// A window that is no form (forms own theirs through FormWindow.h): test hosts, helper windows.
using unique_hwnd = unique_handle<WindowTraits>;
using unique_socket = unique_handle<SocketTraits>;
using unique_cryptprov = unique_handle<CryptProvTraits>;
using unique_crypthash = unique_handle<CryptHashTraits>;

// A BSTR copy of the text (embedded NULs kept); empty owner when out of memory.
inline unique_bstr MakeBstr(std::wstring_view text) noexcept {
    return unique_bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A CryptoAPI context of the base RSA provider, and a hash made in one; empty owners on failure.
inline unique_cryptprov AcquireCryptContext(DWORD flags) noexcept {
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, flags)) return {};
    return unique_cryptprov(provider);
}
inline unique_crypthash CreateCryptHash(HCRYPTPROV provider, ALG_ID algorithm) noexcept {
    HCRYPTHASH hash = 0;
    if (!provider || !::CryptCreateHash(provider, algorithm, 0, 0, &hash)) return {};
    return unique_crypthash(hash);
}

// The process and thread handles CreateProcessW hands back, each with its owner.
struct ProcessHandles {
    unique_kernel_handle process;
    unique_kernel_handle thread;
    DWORD processId = 0;
};
inline ProcessHandles TakeProcessHandles(const PROCESS_INFORMATION& info) noexcept {
    ProcessHandles handles;
    handles.process.reset(info.hProcess);
    handles.thread.reset(info.hThread);
    handles.processId = info.dwProcessId;
    return handles;
}

// Owner of one VARIANT: initialised empty, cleared when replaced or destroyed.
class unique_variant {
public:
    unique_variant() noexcept { ::VariantInit(&m_value); }
    ~unique_variant() { ::VariantClear(&m_value); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    unique_variant(unique_variant&& other) noexcept : m_value(other.m_value) { ::VariantInit(&other.m_value); }
    unique_variant& operator=(unique_variant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&m_value);
            m_value = other.m_value;
            ::VariantInit(&other.m_value);
        }
        return *this;
    }

    [[nodiscard]] VARIANT& get() noexcept { return m_value; }
    [[nodiscard]] const VARIANT& get() const noexcept { return m_value; }
    // Clears what is held and hands out the slot, for out-parameters.
    VARIANT* put() noexcept {
        ::VariantClear(&m_value);
        return &m_value;
    }
    void reset() noexcept { ::VariantClear(&m_value); }

private:
    VARIANT m_value;
};

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
// A thread already initialised in the same model counts (S_FALSE) and is balanced too.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept : m_hr(::CoInitializeEx(nullptr, model)) {}
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

// Winsock for the life of the object (version 2.2; link ws2_32 where it is used).
class WinsockSession {
public:
    WinsockSession() noexcept {
        WSADATA data{};
        m_ok = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() { if (m_ok) ::WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    [[nodiscard]] bool ok() const noexcept { return m_ok; }

private:
    bool m_ok = false;
};

// The data of a SAFEARRAY, locked for the life of the object; data() is nullptr when it cannot be.
class SafeArrayData {
public:
    explicit SafeArrayData(SAFEARRAY* array) noexcept : m_array(array) {
        if (!array || FAILED(::SafeArrayAccessData(array, &m_data))) m_data = nullptr;
    }
    ~SafeArrayData() { if (m_data) ::SafeArrayUnaccessData(m_array); }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    [[nodiscard]] const unsigned char* data() const noexcept { return static_cast<const unsigned char*>(m_data); }

private:
    SAFEARRAY* m_array;
    void* m_data = nullptr;
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
