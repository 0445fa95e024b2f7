// Detects the running processor's vector features, once.
#include "util/cpu_features.h"

// METERLY_NO_AVX2 leaves the SSE2 paths alone in use, to test them on machines with AVX2.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(METERLY_NO_SIMD) && \
    !defined(METERLY_NO_AVX2)
#include <cpuid.h>
#define METERLY_CPUID 1
#endif

namespace {

constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28, kAvx2 = 1u << 5;

#ifdef METERLY_CPUID

// cpuid and xgetbv are read directly: the compiler runtime's own detector is not on every
// platform. Leaf 7 may be read on any processor; xgetbv faults unless the OS enabled it.
bool detect_avx2() {
  CpuidReadings readings{static_cast<unsigned>(__get_cpuid_max(0, nullptr)), 0, 0, 0};
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(1, 0, eax, ebx, readings.leaf1_ecx, edx);
  if ((readings.leaf1_ecx & kOsxsave) != 0) {
    unsigned xcr0_high = 0;
    __asm__("xgetbv" : "=a"(readings.xcr0_low), "=d"(xcr0_high) : "c"(0));
  }
  __cpuid_count(7, 0, eax, readings.leaf7_ebx, ecx, edx);
  return avx2_usable(readings);
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

bool avx2_usable(const CpuidReadings& readings) {
  return readings.max_leaf >= 7 && (readings.leaf1_ecx & (kOsxsave | kAvx)) == (kOsxsave | kAvx) &&
         (readings.xcr0_low & 0x6u) == 0x6u && (readings.leaf7_ebx & kAvx2) != 0;
}

const CpuFeatures& cpu_features() {
  static const CpuFeatures features = detect();
  return features;
}
