// Owners of zlib stream states: the state zlib allocates at initialisation is released on every
// path out, early returns and exceptions included (the engine lives for the whole log-on, so a
// state lost per document adds up to gigabytes).
#pragma once

#include <zlib.h>

namespace tessaly::analysis {

class InflateStream {
public:
    // `windowBits` as for inflateInit2: MAX_WBITS for a zlib stream, -MAX_WBITS for raw deflate.
    explicit InflateStream(int windowBits) : m_ok(inflateInit2(&m_zs, windowBits) == Z_OK) {}
    ~InflateStream() {
        if (m_ok) inflateEnd(&m_zs);
    }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }
    z_stream* operator->() { return &m_zs; }
    z_stream* get() { return &m_zs; }

private:
    z_stream m_zs{};
    bool m_ok;
};

class DeflateStream {
public:
    // Raw deflate (no zlib header), as ZIP entries hold it.
    explicit DeflateStream(int level)
        : m_ok(deflateInit2(&m_zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK) {}
    ~DeflateStream() {
        if (m_ok) deflateEnd(&m_zs);
    }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }
    z_stream* operator->() { return &m_zs; }
    z_stream* get() { return &m_zs; }

private:
    z_stream m_zs{};
    bool m_ok;
};

}  // namespace tessaly::analysis
