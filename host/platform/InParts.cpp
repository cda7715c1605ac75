#include "host/platform/InParts.h"

#include <algorithm>
#include <cstdlib>

int DefaultThreadCount() {
  if (const char* text = std::getenv("DUSKMOTH_THREADS"); text && *text) {
    char* end = nullptr;
    const long threads = std::strtol(text, &end, 10);
    if (*end == '\0' && threads >= 1 && threads <= kMaxThreads) return int(threads);
  }
  return int(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned(kMaxThreads)));
}
