// The processor features the vector kernels ask about before taking a wider path.
#pragma once

/// What the processor offers beyond the instructions every build may assume. The vector kernels
/// ask here, once, before taking a wider path.
struct CpuFeatures {
  bool avx2 = false;  // x86-64 AVX2, with the operating system saving the 256-bit registers
};

/// The running processor's features, detected on first use.
const CpuFeatures& cpu_features();

/// What x86 reports about AVX2: the highest basic cpuid leaf, ECX of leaf 1, the low half of
/// XCR0 (0 when the OS does not enable xgetbv) and EBX of leaf 7.
struct CpuidReadings {
  unsigned max_leaf;
  unsigned leaf1_ecx;
  unsigned xcr0_low;
  unsigned leaf7_ebx;
};

/// AVX2 needs both the instructions and an operating system that saves the YMM registers on a
/// context switch (XCR0 bits 1 and 2), or the first 256-bit instruction faults.
bool avx2_usable(const CpuidReadings& readings);
