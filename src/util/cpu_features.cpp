// Detects the running processor's vector features, once.
#include "util/cpu_features.h"

// METERLY_NO_AVX2 leaves the SSE2 paths alone in use, to test them on machines with AVX2.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(METERLY_NO_SIMD) && \
    !defined(METERLY_NO_AVX2)
#include <cpuid.h>
#define METERLY_CPUID 1
#endif

namespace {

#ifdef METERLY_CPUID

// AVX2 needs both the instructions and an operating system that saves the YMM registers on a
// context switch (XCR0 bits 1 and 2), or the first 256-bit instruction faults. cpuid and
// xgetbv are read directly: the compiler runtime's own detector is not on every platform.
bool detect_avx2() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(1, 0, eax, ebx, ecx, edx);
  constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
  if ((ecx & (kOsxsave | kAvx)) != (kOsxsave | kAvx)) return false;
  unsigned xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if ((xcr0_low & 0x6u) != 0x6u) return false;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & (1u << 5)) != 0;
}

#endif

CpuFeatures detect() {
  CpuFeatures features;
#ifdef METERLY_CPUID
  features.avx2 = detect_avx2();
#endif
  return features;
}

}  // namespace

const CpuFeatures& cpu_features() {
  static const CpuFeatures features = detect();
  return features;
}
