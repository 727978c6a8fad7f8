// A rows x cols table in one contiguous block, indexed m[i][t] like an array of row pointers.
// The data readers fill it; the models own one each.
#pragma once
#include <cstddef>
#include <limits>
#include <vector>

// A missing cell (NA in a data file): the smallest int, or a quiet NaN. Models that accept
// them must test every cell; the others never see one, as the reader refuses NA for them.
constexpr int kMissingInt = std::numeric_limits<int>::min();
inline bool isMissing(int value) { return value == kMissingInt; }
inline bool isMissing(double value) { return value != value; }

template <class T>
class Matrix {
 public:
  Matrix() = default;
  Matrix(int rows, int cols, T fill = T())
      : rows_(rows), cols_(cols), values_(static_cast<size_t>(rows) * cols, fill) {}

  T* operator[](int i) { return values_.data() + static_cast<size_t>(i) * cols_; }
  const T* operator[](int i) const { return values_.data() + static_cast<size_t>(i) * cols_; }
  int rows() const { return rows_; }
  int cols() const { return cols_; }

 private:
  int rows_ = 0;
  int cols_ = 0;
  std::vector<T> values_;
};
