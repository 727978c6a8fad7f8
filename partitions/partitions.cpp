#include "partitions/partitions.h"

#include <climits>

#include "io/Interrupt.h"

namespace prt {

std::ostream& operator<<(std::ostream& os, const Print& p) {
  p.print(os);
  return os;
}

bool Tuple::lt(const Tuple& c) const {
  if (size() != c.size()) return size() > c.size();
  for (std::size_t i = 0; i < size(); i++)
    if ((*this)[i] != c[i]) return (*this)[i] < c[i];
  return false;
}

bool Tuple::ordered() const {
  for (std::size_t i = 1; i < size(); i++)
    if ((*this)[i] <= (*this)[i - 1]) return false;
  return true;
}

bool Tuple::find(int v) const {
  for (int x : *this)
    if (x == v) return true;
  return false;
}

void Tuple::fillmaxint() {
  const int s = static_cast<int>(size());
  for (int e = 0; e < s; e++) (*this)[e] = INT_MAX - s + e;
}

Digits::Digits(std::size_t n) : Vector<int>(n) {
  for (std::size_t i = 0; i < n; i++) (*this)[i] = static_cast<int>(i) + 1;
}

int Digits::get(std::size_t i) {
  const int v = (*this)[i];
  (*this)[i] = back();
  pop_back();
  return v;
}

void Digits::put(std::size_t i, int v) {
  if (i == size()) {
    push_back(v);
  } else {
    push_back((*this)[i]);
    (*this)[i] = v;
  }
}

Partition::Partition(const Tuple& t) : Vector<Tuple>(t.size()) {
  for (std::size_t j = 0; j < t.size(); j++) {
    (*this)[j] = Tuple(static_cast<std::size_t>(t[j]));
    (*this)[j].fillmaxint();
    num += static_cast<std::size_t>(t[j]);
  }
}

void Partition::print(std::ostream& os) const {
  for (const Tuple& block : *this) os << block << '\n';
}

void Partition::inject(int* o) const {
  for (std::size_t v = 1; v <= num; v++)
    for (std::size_t b = 0; b < size(); b++)
      if ((*this)[b].find(static_cast<int>(v))) {
        o[v - 1] = static_cast<int>(b) + 1;
        break;
      }
}

Partitions::Partitions(const Tuple& t, int n, int* o)
    : shape(t), digits(static_cast<std::size_t>(n)), out(o), num(static_cast<std::size_t>(n)) {
  doit(0, 0);
  for (int s : t) total += static_cast<std::size_t>(s);
}

void Partitions::print(std::ostream& os) const { os << shape; }

void Partitions::saveit() {
  checkInterrupt();
  shape.inject(out + ind * num);
  ind++;
}

void Partitions::doit(std::size_t t, std::size_t e) {
  if (t == shape.size()) {
    saveit();
    return;
  }
  Tuple& block = shape[t];
  if (!block.ordered()) return;
  if (e == block.size()) {
    // Equal blocks in order of their first item, larger blocks first: each division once.
    if (t > 0 && !shape[t - 1].lt(block)) return;
    doit(t + 1, 0);
    return;
  }
  const int filler = INT_MAX - static_cast<int>(block.size()) + static_cast<int>(e);
  for (std::size_t i = 0; i < digits.size(); i++) {
    block[e] = digits.get(i);
    doit(t, e + 1);
    digits.put(i, block[e]);
    block[e] = filler;
  }
}

}  // namespace prt

int nextrestrictedpart(int* x, int* len) {
  const int L = *len;
  if (L < 1) return 1;
  const int largest = x[L - 1];
  int i = L - 1;
  while (i >= 0 && largest - x[i] < 2) i--;
  if (i < 0) return 1;
  const int j = ++x[i];
  int released = 0;
  for (int p = i + 1; p <= L - 2; p++) {
    released += x[p] - j;
    x[p] = j;
  }
  x[L - 1] += released - 1;
  return 0;
}

int numbrestrictedparts(int* x, int m) {
  int count = 1;
  while (nextrestrictedpart(x, &m) == 0) count++;
  return count;
}

void allrestrictedparts(int* m, int* n, int* len, int* inc, int* x) {
  const int parts = *m;
  if (parts < 1 || *len < parts) return;
  for (int i = 0; i < parts - 1; i++) x[i] = *inc ? 0 : 1;
  x[parts - 1] = *inc ? *n : *n - parts + 1;
  for (int start = parts; start + parts <= *len; start += parts) {
    for (int i = 0; i < parts; i++) x[start + i] = x[start - parts + i];
    nextrestrictedpart(x + start, m);
  }
}
