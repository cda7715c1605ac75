#pragma once
// Work split over the machine's threads: how many to use unless told, and
// a range cut into equal parts, each part run on a thread of its own (the
// first on the caller's), all joined before the call returns. For the steps
// whose parts write to disjoint places and so need no lock; nothing is
// shared between calls.

#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

inline constexpr int kMaxThreads = 256;

// $DUSKMOTH_THREADS when it holds a count from 1 to kMaxThreads, else every
// core (at most kMaxThreads).
int DefaultThreadCount();

// Threads worth giving `work` units when each thread should have at least
// `least` of them: from 1 to `threads`.
inline int ThreadsWorth(std::size_t work, std::size_t least, int threads) {
  const std::size_t most = threads < 1 ? 1 : std::size_t(threads);
  const std::size_t worth = work / least;
  return int(worth < 1 ? 1 : worth > most ? most : worth);
}

// Calls body(part, first, end) for `parts` equal parts of [begin, end) and
// returns when all are done, rethrowing the first part's exception if any
// threw.
template <class Body> void InParts(std::size_t begin, std::size_t end, int parts, const Body& body) {
  const auto bound = [&](int part) { return begin + (end - begin) * std::size_t(part) / std::size_t(parts); };
  std::vector<std::exception_ptr> failures(static_cast<std::size_t>(parts));
  const auto run = [&](int part) {
    try {
      body(part, bound(part), bound(part + 1));
    } catch (...) {
      failures[std::size_t(part)] = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> helpers;
    for (int part = 1; part < parts; ++part) helpers.emplace_back(run, part);
    run(0);
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}
