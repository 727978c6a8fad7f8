// Small array helpers: maximum, sum, copies, the label table of a partition, and the
// comparison of two-way splits.
#pragma once
#include <vector>

struct Arrays {
  template <class T>
  static T arraymax(const T* a, int size) {
    T best = a[0];
    for (int i = 1; i < size; i++)
      if (a[i] > best) best = a[i];
    return best;
  }
  template <class T>
  static T sum(const T* a, int size) {
    T total = a[0];
    for (int i = 1; i < size; i++) total += a[i];
    return total;
  }
  // Counts labels 0..k-1 of z into count; returns how many labels occur.
  template <class T>
  static int table(const T* z, int n, int* count, int k) {
    for (int j = 0; j < k; j++) count[j] = 0;
    for (int i = 0; i < n; i++) count[z[i]]++;
    int nonEmpty = 0;
    for (int j = 0; j < k; j++)
      if (count[j] != 0) nonEmpty++;
    return nonEmpty;
  }
  static int table(const std::vector<int>& z, int* count, int k) {
    return table(z.data(), static_cast<int>(z.size()), count, k);
  }
  template <class T>
  static void copyArray(const T* from, T* to, int size) {
    for (int i = 0; i < size; i++) to[i] = from[i];
  }
  // True when two 0/1 vectors describe the same two-way split, labels swapped or not.
  static bool compareArray(const std::vector<int>& a1, const std::vector<int>& a2, int size);
};
