// Where the writers put what they write: memory for tests and small documents, a file for the
// engine, so a rewritten document never has to exist whole in memory.
#pragma once

#include "ByteReader.h"

namespace tessaly::analysis {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void Write(Bytes bytes) = 0;
    // Everything written so far, readable in place (the cleaner verifies what it wrote).
    [[nodiscard]] virtual Bytes Written() = 0;
    [[nodiscard]] virtual std::uint64_t size() const = 0;
    void WriteZeros(std::uint64_t count);
};

class MemorySink final : public ByteSink {
public:
    void Write(Bytes bytes) override { m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end()); }
    [[nodiscard]] Bytes Written() override { return m_bytes; }
    [[nodiscard]] std::uint64_t size() const override { return m_bytes.size(); }
    ByteVec Take() { return std::move(m_bytes); }

private:
    ByteVec m_bytes;
};

inline void ByteSink::WriteZeros(std::uint64_t count) {
    static const std::uint8_t kZeros[4096] = {};
    while (count > 0) {
        const std::size_t n = count < sizeof kZeros ? static_cast<std::size_t>(count) : sizeof kZeros;
        Write(Bytes(kZeros, n));
        count -= n;
    }
}

}  // namespace tessaly::analysis
