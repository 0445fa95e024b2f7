// The processor features the vector kernels ask about before taking a wider path.
#pragma once

/// What the processor offers beyond the instructions every build may assume. The vector kernels
/// ask here, once, before taking a wider path.
struct CpuFeatures {
  bool avx2 = false;  // x86-64 AVX2, with the operating system saving the 256-bit registers
};

/// The running processor's features, detected on first use.
const CpuFeatures& cpu_features();
