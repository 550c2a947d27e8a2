// The analysis entry points. Nothing thrown inside may leave: the engine link turns any failure
// into an engine error reply.
#include "Analyzer.h"

#include <exception>

#include "Cleaner.h"
#include "Decision.h"
#include "FaultReport.h"
#include "Inspection.h"
#include "Limits.h"
#include "Signatures.h"

namespace tessaly::analysis {

struct Analyzer::Impl {
    SignatureSet signatures;
};

namespace {

// A signature file that cannot be read, or holds no usable signature, leaves the built-in set in
// service, and says so: an engine without signatures would name no virus ever and tell no one.
SignatureSet LoadSignatures(std::string_view text) {
    if (text.empty()) return SignatureSet::Builtin();
    std::string fault = "the signature file holds no usable signature";
    try {
        SignatureSet parsed = SignatureSet::Parse(text);
        if (parsed.size() > 0) return parsed;
    } catch (const std::exception& e) {
        fault = std::string("the signature file could not be read: ") + e.what();
    }
    ReportFault("signatures", fault + "; the built-in signatures are used");
    return SignatureSet::Builtin();
}

}  // namespace

Analyzer::Analyzer(std::string_view signatureText) : m_impl(std::make_unique<Impl>()) {
    m_impl->signatures = LoadSignatures(signatureText);
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
