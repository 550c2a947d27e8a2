// The scan engine's document analysis: one entry for a scan and one for a clean, over the bytes of
// a document in memory or a mapped view. Platform neutral; the engine process owns the files, this owns the verdict.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ByteSink.h"

namespace tessaly::analysis {

// Scan codes on the engine link.
enum ScanCode : int {
    kScanEngineError = -1,
    kScanClean = 0,
    kScanInfected = 2,
    kScanSuspected = 50,
    kScanEncrypted = 51,
    kScanDamaged = 52,
};

// Clean codes on the engine link: 1 repaired; anything else leaves the document as it was.
enum CleanCode : int {
    kCleanEngineError = -1,
    kCleanNothingToDo = 0,
    kCleanRepaired = 1,
    kCleanFailed = 3,
    kCleanEncrypted = 51,
    kCleanDamaged = 52,
};

struct Verdict {
    int code = kScanClean;
    std::string text;  // UTF-8: the virus name when infected, otherwise a short reason
};

struct CleanOutcome {
    int code = kCleanNothingToDo;
    std::string text;                 // UTF-8 reason or the removed virus name
    std::vector<std::uint8_t> bytes;  // the cleaned document when code is kCleanRepaired
};

class Analyzer {
public:
    // Signatures in the engine's text format; an empty text means the built-in set, and so does one
    // that cannot be read or holds no usable signature (the fault is reported).
    explicit Analyzer(std::string_view signatureText = {});
    ~Analyzer();
    Analyzer(const Analyzer&) = delete;
    Analyzer& operator=(const Analyzer&) = delete;

    [[nodiscard]] Verdict Scan(std::span<const std::uint8_t> document) const;
    // The cleaned bytes are checked by the analysis itself before kCleanRepaired is given: the
    // container reads back strictly and holds no macros.
    [[nodiscard]] CleanOutcome Clean(std::span<const std::uint8_t> document) const;
    // The same, writing the cleaned document into `out` as it goes (a large document is never
    // whole in memory); the outcome holds no bytes, and `out` holds the cleaned document only
    // when the code is kCleanRepaired.
    [[nodiscard]] CleanOutcome Clean(std::span<const std::uint8_t> document, ByteSink& out) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace tessaly::analysis
