#include "host/toolkit/AllocationFailures.h"

#include <atomic>

namespace {
std::atomic<std::uint64_t> failures{0};
}  // namespace

void KvNoteAllocationFailure() noexcept { failures.fetch_add(1, std::memory_order_relaxed); }

std::uint64_t KvAllocationFailureCount() noexcept { return failures.load(std::memory_order_relaxed); }
