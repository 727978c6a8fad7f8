// A rows x cols table in one contiguous block, indexed m[i][t] like an array of row pointers.
// The data readers fill it; the models own one each.
#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

// A missing cell (NA in a data file): the smallest int, 255 in a byte matrix (whose levels
// are 0..254 at most), or a quiet NaN. Models that accept them must test every cell with
// isMissing on the cell itself (a byte widened to int first is no longer recognised); the
// others never see one, as the reader refuses NA for them.
constexpr int kMissingInt = std::numeric_limits<int>::min();
constexpr std::uint8_t kMissingByte = 255;
inline bool isMissing(int value) { return value == kMissingInt; }
inline bool isMissing(std::uint8_t value) { return value == kMissingByte; }
inline bool isMissing(double value) { return value != value; }

template <class T>
class Matrix {
 public:
  Matrix() = default;
  Matrix(int rows, int cols, T fill = T())
      : rows_(rows), cols_(cols), values_(static_cast<size_t>(rows) * cols, fill) {}
  // Takes values, rows x cols of them row after row.
  Matrix(int rows, int cols, std::vector<T>&& values)
      : rows_(rows), cols_(cols), values_(std::move(values)) {}

  T* operator[](int i) { return values_.data() + static_cast<size_t>(i) * cols_; }
  const T* operator[](int i) const { return values_.data() + static_cast<size_t>(i) * cols_; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }
  // What the cells hold in memory, in bytes.
  size_t bytes() const { return values_.capacity() * sizeof(T); }

 private:
  int rows_ = 0;
  int cols_ = 0;
  std::vector<T> values_;
};
