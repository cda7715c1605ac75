#pragma once
// Counts the allocation failures that code caught and turned into its usual
// failure value (false, null, an aborted render), so that a program can tell
// "out of memory" from other failures without new return codes. A
// process-wide counter, safe from any thread.

#include <cstdint>

void KvNoteAllocationFailure() noexcept;
std::uint64_t KvAllocationFailureCount() noexcept;
