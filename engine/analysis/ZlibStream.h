// Owners of zlib stream states: the state zlib allocates at initialisation is released on every
// path out, early returns and exceptions included (the engine lives for the whole log-on, so a
// state lost per document adds up to gigabytes).
#pragma once

#include <zlib.h>

namespace tessaly::analysis {

// A stream state initialised by `init` and ended by End once that succeeded.
template <int (*End)(z_streamp)>
class ZlibStreamOwner {
public:
    ZlibStreamOwner(const ZlibStreamOwner&) = delete;
    ZlibStreamOwner& operator=(const ZlibStreamOwner&) = delete;
    ~ZlibStreamOwner() {
        if (m_ok) End(&m_zs);
    }

    [[nodiscard]] bool ok() const { return m_ok; }
    z_stream* operator->() { return &m_zs; }
    z_stream* get() { return &m_zs; }

protected:
    template <typename Init>
    explicit ZlibStreamOwner(Init init) : m_ok(init(&m_zs) == Z_OK) {}

private:
    z_stream m_zs{};
    bool m_ok;
};

class InflateStream : public ZlibStreamOwner<inflateEnd> {
public:
    // `windowBits` as for inflateInit2: MAX_WBITS for a zlib stream, -MAX_WBITS for raw deflate.
    explicit InflateStream(int windowBits) : ZlibStreamOwner([&](z_streamp zs) { return inflateInit2(zs, windowBits); }) {}
};

class DeflateStream : public ZlibStreamOwner<deflateEnd> {
public:
    // Raw deflate (no zlib header), as ZIP entries hold it.
    explicit DeflateStream(int level)
        : ZlibStreamOwner([&](z_streamp zs) { return deflateInit2(zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY); }) {}
};

}  // namespace tessaly::analysis
