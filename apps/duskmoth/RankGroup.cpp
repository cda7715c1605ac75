#include "apps/duskmoth/RankGroup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#ifdef DM_HAVE_MPI
#include <mpi.h>
#endif

namespace {

// Processes mpirun started, as it tells each of them; 1 when not under mpirun.
int LaunchedProcesses() {
  const char* text = std::getenv("OMPI_COMM_WORLD_SIZE");
  if (!text || !*text) return 1;
  char* end = nullptr;
  const long size = std::strtol(text, &end, 10);
  return *end == '\0' && size > 1 && size < 1 << 20 ? int(size) : 1;
}

}  // namespace

std::unique_ptr<RankGroup> RankGroup::Join(std::string& error) {
  const int launched = LaunchedProcesses();
  if (launched <= 1) return std::unique_ptr<RankGroup>(new RankGroup(0, 1));
#ifdef DM_HAVE_MPI
  // Only the main thread calls MPI; the render's threads never do.
  int provided = 0;
  if (MPI_Init_thread(nullptr, nullptr, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
    error = "MPI could not start";
    return nullptr;
  }
  int rank = 0, size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  return std::unique_ptr<RankGroup>(new RankGroup(rank, size));
#else
  error = "this duskmoth was built without MPI support: mpirun started " + std::to_string(launched) +
          " copies that would each write the whole image; run it without mpirun";
  return nullptr;
#endif
}

RankGroup::~RankGroup() {
#ifdef DM_HAVE_MPI
  if (Alone()) return;
  // mpirun ends every process once one ends with a failure: none ends
  // before all have said what they had to say.
  MPI_Barrier(MPI_COMM_WORLD);
  MPI_Finalize();
#endif
}

#ifdef DM_HAVE_MPI

namespace {

// Image row y's words in memory rows bottom-up.
std::uint32_t* Row(std::uint32_t* bits, int width, int height, int y) {
  return bits + std::size_t(height - 1 - y) * std::size_t(width);
}

// Copies the rows of `share` between the image and a packed buffer, block by block from the top.
template <typename Copy> void ForOwnedRows(const RowShare& share, int height, Copy copy) {
  std::size_t packed = 0;
  for (int b = share.index; b * share.block < height; b += share.count)
    for (int y = b * share.block; y < std::min((b + 1) * share.block, height); ++y) copy(y, packed++);
}

}  // namespace

RankGroup::Worst RankGroup::Agree(int value) const {
  if (Alone()) return {value, 0};
  // MAXLOC takes the lowest rank among equal values.
  struct {
    int value;
    int rank;
  } mine{value, rank_}, worst{0, 0};
  MPI_Allreduce(&mine, &worst, 1, MPI_2INT, MPI_MAXLOC, MPI_COMM_WORLD);
  return {worst.value, worst.rank};
}

std::vector<double> RankGroup::GatherOnFirst(double value) const {
  std::vector<double> all(rank_ == 0 ? std::size_t(size_) : 0);
  if (Alone()) {
    all[0] = value;
    return all;
  }
  MPI_Gather(&value, 1, MPI_DOUBLE, all.data(), 1, MPI_DOUBLE, 0, MPI_COMM_WORLD);
  return all;
}

void RankGroup::GatherRows(std::uint32_t* bits, int width, int height) const {
  if (Alone()) return;
  const std::size_t row_words = std::size_t(width);
  // Rank 0's own rows are in place already: it sends none.
  std::vector<std::uint32_t> mine;
  if (rank_ != 0) {
    const RowShare share = Share().Resolved(height);
    mine.resize(std::size_t(share.OwnedRows(height)) * row_words);
    ForOwnedRows(share, height, [&](int y, std::size_t i) {
      std::memcpy(mine.data() + i * row_words, Row(bits, width, height, y), row_words * sizeof(std::uint32_t));
    });
  }
  std::vector<int> counts, offsets;
  std::vector<std::uint32_t> all;
  if (rank_ == 0) {
    int total = 0;  // at most 16384 x 16384 words: an int holds it
    const int block = Share().Resolved(height).block;
    for (int r = 0; r < size_; ++r) {
      counts.push_back(r == 0 ? 0 : RowShare{r, size_, block}.OwnedRows(height) * width);
      offsets.push_back(total);
      total += counts.back();
    }
    all.resize(std::size_t(total));
  }
  MPI_Gatherv(mine.data(), int(mine.size()), MPI_UINT32_T, all.data(), counts.data(), offsets.data(), MPI_UINT32_T,
              0, MPI_COMM_WORLD);
  if (rank_ != 0) return;
  for (int r = 1; r < size_; ++r) {
    const RowShare share = RowShare{r, size_, 0}.Resolved(height);
    const std::uint32_t* from = all.data() + offsets[std::size_t(r)];
    ForOwnedRows(share, height, [&](int y, std::size_t i) {
      std::memcpy(Row(bits, width, height, y), from + i * row_words, row_words * sizeof(std::uint32_t));
    });
  }
}

#else

RankGroup::Worst RankGroup::Agree(int value) const { return {value, 0}; }
std::vector<double> RankGroup::GatherOnFirst(double value) const { return {value}; }
void RankGroup::GatherRows(std::uint32_t*, int, int) const {}

#endif
