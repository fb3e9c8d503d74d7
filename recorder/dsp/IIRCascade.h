#pragma once
// The two builds of the kernel behind IIRFilter::ProcessCascade_16bit: four lanes for every
// x86-64 processor, eight lanes for processors with AVX2. Both give the same bits as the sections'
// scalar ProcessSamples_16bit one after another; ProcessCascade_16bit picks the wider one where
// the processor has it. Only the effect code and its tests use this header.

#include "recorder/dsp/IIRFilter.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace dsp::cascade {

// Sections per kernel run.
constexpr std::size_t kBatch = 8;

// A section's place in a run: its coefficients and the history it continues from (updated).
struct Section {
    const IIRFilter::Coefficients* coefficients = nullptr;
    IIRFilter::History* history = nullptr;
};

// Whether this build has the four-lane kernel (x86-64) and whether the processor runs the
// eight-lane one.
bool narrowAvailable();
bool wideAvailable();

// Filters `samples` in place through 1 to kBatch sections, first to last. Call only when the
// build's availability check says yes.
void runNarrow(const Section* sections, std::size_t count, std::span<std::int16_t> samples);
void runWide(const Section* sections, std::size_t count, std::span<std::int16_t> samples);

}  // namespace dsp::cascade
