#pragma once
// RankGroup: the processes mpirun started for one render (MPI's world), or
// this process alone. Each process renders its share of the image's rows
// (RowShare); the first (rank 0) gathers them and writes the image. The
// group owns MPI's initialisation: MPI is finalised when it goes. Only the
// program knows MPI; the renderer learns which rows are its own.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/sdk/RowShare.h"

class RankGroup {
public:
  // Joins MPI's world when mpirun started more than one process
  // (OMPI_COMM_WORLD_SIZE > 1); else a group of this process alone. Null,
  // with the reason in `error`, when MPI cannot start or the program was
  // built without it but runs under mpirun.
  static std::unique_ptr<RankGroup> Join(std::string& error);
  ~RankGroup();
  RankGroup(const RankGroup&) = delete;
  RankGroup& operator=(const RankGroup&) = delete;

  int Rank() const { return rank_; }
  int Size() const { return size_; }
  bool Alone() const { return size_ <= 1; }
  // This process's rows, the block left to the image's height (RowShare::Resolved).
  RowShare Share() const { return RowShare{rank_, size_, 0}; }

  // The largest of every rank's `value` and the lowest rank holding it;
  // every rank calls it and gets the same answer.
  struct Worst {
    int value = 0;
    int rank = 0;
  };
  Worst Agree(int value) const;
  // Every rank's value, in rank order, on rank 0 (empty elsewhere).
  std::vector<double> GatherOnFirst(double value) const;
  // Sends each rank's rows of `share` (Share, resolved for the height) of
  // the 32-bit image (`bits`, memory rows bottom-up) to rank 0, which puts
  // them into its own image. Every rank calls it.
  void GatherRows(std::uint32_t* bits, int width, int height) const;

private:
  RankGroup(int rank, int size) : rank_(rank), size_(size) {}
  int rank_ = 0;
  int size_ = 1;
};
