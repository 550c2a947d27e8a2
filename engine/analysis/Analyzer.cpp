// The analysis entry points. Nothing thrown inside may leave: the engine link turns any failure
// into an engine error reply.
#include "Analyzer.h"

#include <exception>

#include "Cleaner.h"
#include "Decision.h"
#include "Inspection.h"
#include "Limits.h"
#include "Signatures.h"

namespace tessaly::analysis {

struct Analyzer::Impl {
    SignatureSet signatures;
};

Analyzer::Analyzer(std::string_view signatureText) : m_impl(std::make_unique<Impl>()) {
    try {
        m_impl->signatures = SignatureSet::Parse(signatureText);
        if (m_impl->signatures.size() == 0) m_impl->signatures = SignatureSet::Builtin();
    } catch (...) {
        m_impl->signatures = SignatureSet{};
    }
}

Analyzer::~Analyzer() = default;

Verdict Analyzer::Scan(std::span<const std::uint8_t> document) const {
    try {
        if (document.size() > limits::kMaxDocumentBytes) return {kScanDamaged, "document too large"};
        return Decide(InspectDocument(document), m_impl->signatures);
    } catch (const std::exception& e) {
        return {kScanEngineError, e.what()};
    } catch (...) {
        return {kScanEngineError, "analysis failed"};
    }
}

CleanOutcome Analyzer::Clean(std::span<const std::uint8_t> document) const {
    MemorySink out;
    CleanOutcome outcome = Clean(document, out);
    if (outcome.code == kCleanRepaired) outcome.bytes = out.Take();
    return outcome;
}

CleanOutcome Analyzer::Clean(std::span<const std::uint8_t> document, ByteSink& out) const {
    try {
        if (document.size() > limits::kMaxDocumentBytes) return {kCleanDamaged, "document too large", {}};
        return CleanDocument(document, m_impl->signatures, out);
    } catch (const std::exception& e) {
        return {kCleanEngineError, e.what(), {}};
    } catch (...) {
        return {kCleanEngineError, "cleaning failed", {}};
    }
}

}  // namespace tessaly::analysis
