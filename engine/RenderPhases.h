#pragma once
// RenderPhases: when the worker of one render reached the ends of its
// phases, stamped on the worker at the statuses it sends and read on the
// host's thread once the render is over; each stamp is an atomic, so a
// read never races the worker. Owned by the session; nothing per pixel.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

class RenderPhases {
public:
  enum Mark : int {
    started,            // setup begins (initializing)
    faces_projected,    // lights and shadow maps come next
    shadow_maps_drawn,  // setup done
    pixels_done,        // every pixel completed
    kMarkCount
  };

  // Forgets every stamp: a new render begins.
  void Reset() {
    for (std::atomic<std::int64_t>& stamp : m_stamps) stamp.store(0, std::memory_order_relaxed);
  }
  void Stamp(Mark mark) {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    m_stamps[std::size_t(mark)].store(std::max<std::int64_t>(ticks, 1), std::memory_order_release);
  }
  // Seconds from one mark to a later one; none unless both were stamped.
  std::optional<double> Between(Mark from, Mark to) const {
    const std::int64_t a = m_stamps[std::size_t(from)].load(std::memory_order_acquire);
    const std::int64_t b = m_stamps[std::size_t(to)].load(std::memory_order_acquire);
    if (a == 0 || b == 0) return std::nullopt;
    return std::chrono::duration<double>(std::chrono::steady_clock::duration(b - a)).count();
  }

private:
  std::array<std::atomic<std::int64_t>, kMarkCount> m_stamps{};  // steady clock ticks; 0: not reached
};
