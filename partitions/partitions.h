// Partition combinatorics.
//   1. prt: every division of items 1..n into blocks of given sizes, written as rows of
//      1-based block numbers by a backtracking search run in the Partitions constructor;
//   2. integer partitions of n into k parts (C-style, arguments by pointer), listed in
//      ascending lexicographic order of their non-decreasing tuples.
#pragma once
#include <cstddef>
#include <ostream>
#include <vector>

namespace prt {

// Printable base; printing is only a debugging aid.
class Print {
 public:
  virtual void print(std::ostream& os) const = 0;

 protected:
  ~Print() = default;  // never deleted through a base pointer
};

std::ostream& operator<<(std::ostream& os, const Print& p);

// A std::vector that prints as "{a,b,c}".
template <class T>
class Vector : public Print, public std::vector<T> {
 public:
  Vector() = default;
  explicit Vector(std::size_t n) : std::vector<T>(n) {}
  void print(std::ostream& os) const override {
    os << '{';
    for (std::size_t i = 0; i < this->size(); i++) {
      if (i > 0) os << ',';
      os << (*this)[i];
    }
    os << '}';
  }
};

// One block: the items placed in it, in position order; unfilled positions hold fillers.
class Tuple final : public Vector<int> {
 public:
  Tuple() = default;
  explicit Tuple(std::size_t n) : Vector<int>(n) {}
  // Same size: lexicographically smaller; different sizes: true when this block is larger.
  bool lt(const Tuple& c) const;
  // Strictly increasing.
  bool ordered() const;
  bool find(int v) const;
  // Position e <- INT_MAX - size + e: increasing placeholders above every item.
  void fillmaxint();
};

// The pool of items not yet placed; get and put are exact inverses.
class Digits : public Vector<int> {
 public:
  explicit Digits(std::size_t n);  // 1..n
  // Removes and returns the element at i; the last element takes its place.
  int get(std::size_t i);
  void put(std::size_t i, int v);
};

// The blocks being filled.
class Partition : public Vector<Tuple> {
 public:
  std::size_t num = 0;  // sum of the block sizes
  explicit Partition(const Tuple& t);
  void print(std::ostream& os) const override;
  // o[v-1] <- 1 + index of the block holding item v, for v = 1..num.
  void inject(int* o) const;
};

// Enumerates, in its constructor, every division of items 1..n into blocks of sizes t
// (t non-increasing, summing to n) and writes each as a row of n block numbers (1-based)
// from o on. o must have room for all rows: n! / prod t[j]! / prod (blocks of a size)!.
// A shape that is not non-increasing yields no rows.
class Partitions : public Print {
 public:
  Partition shape;
  Digits digits;
  int* out;
  std::size_t ind = 0;  // rows written so far
  std::size_t num;      // row length n
  std::size_t total = 0;

  Partitions(const Tuple& t, int n, int* o);
  void print(std::ostream& os) const override;

  void saveit();
  // Fills position e of block t.
  void doit(std::size_t t, std::size_t e);
};

}  // namespace prt

// Advances the integer partition x (non-decreasing, length *len) to the next one: returns 0,
// or 1 when x is the last one (x unchanged).
int nextrestrictedpart(int* x, int* len);
// Number of partitions from x (length m) to the last one inclusive; x ends holding the last.
int numbrestrictedparts(int* x, int m);
// Writes all partitions of *n into *m parts (zeros allowed when *inc != 0) into x, *len
// values (= count * *m), starting from the first one.
void allrestrictedparts(int* m, int* n, int* len, int* inc, int* x);
