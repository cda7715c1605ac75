#include "camera/SimdPath.h"

SimdPath ChosenSimdPath() {
  // Asked on first use, which may come before the library's own start-up has run.
  static const SimdPath chosen = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? SimdPath::avx2 : SimdPath::baseline;
  }();
  return chosen;
}

SimdPath SupportedSimdPath(SimdPath path) { return path == SimdPath::avx2 ? ChosenSimdPath() : SimdPath::baseline; }
