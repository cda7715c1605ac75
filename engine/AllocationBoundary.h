#pragma once
// The plug-in's entry points (adding meshes and lights, making the frame,
// preparing the render, the worker's procedure) run their work through
// CatchAllocationFailure: inner code lets std::bad_alloc rise, and the
// entry point turns it into its usual failure value, so no exception
// crosses into the host.

#include <new>

#include "host/toolkit/AllocationFailures.h"

template <typename Result, typename Body> Result CatchAllocationFailure(Result failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    KvNoteAllocationFailure();
    return failure;
  }
}
