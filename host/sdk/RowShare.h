#pragma once
// RowShare: which rows of an image one of several processes renders. The
// image's rows fall into blocks of `block` rows; block b belongs to process
// b % count, so that uneven scenes share fairly. The program hands it to the
// renderer as the command-context option "rows" ("index,count,block").

#include <optional>
#include <string>

struct RowShare {
  int index = 0;  // this process, 0 .. count - 1
  int count = 1;  // processes sharing the image
  int block = 0;  // rows per block; 0: chosen by Resolved from the image's height

  bool Whole() const { return count <= 1; }
  // With the block chosen for an image `height` rows high when it is 0:
  // four blocks per process at the least, for fairness, but 16 to 64 rows,
  // so that the rows and bands cast twice at a block's edge cost little.
  RowShare Resolved(int height) const;
  bool OwnsBlock(int b) const { return Whole() || b % count == index; }
  // Rows this process renders of an image `height` rows high (block resolved).
  int OwnedRows(int height) const;

  std::wstring ToOption() const;
  // None unless the text is three whole numbers with 0 <= index < count and block >= 0.
  static std::optional<RowShare> FromOption(const std::wstring& text);
};
