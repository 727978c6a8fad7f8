// Set partitions with given block sizes (prt) and integer partitions into k parts.
#include "partitions/partitions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>
#include <sstream>
#include <vector>

namespace {

using Rows = std::vector<std::vector<int>>;

prt::Tuple tupleOf(const std::vector<int>& values) {
  prt::Tuple t(values.size());
  for (size_t i = 0; i < values.size(); i++) t[i] = values[i];
  return t;
}

// Runs the enumerator into a buffer with spare room and returns the rows it reports,
// checking that it wrote nothing past them.
Rows enumerate(const std::vector<int>& shape, int n) {
  const int kSentinel = -7;
  std::vector<int> buffer(2000, kSentinel);
  prt::Partitions p(tupleOf(shape), n, buffer.data());
  Rows rows;
  for (size_t r = 0; r < p.ind; r++)
    rows.emplace_back(buffer.begin() + r * n, buffer.begin() + (r + 1) * n);
  for (size_t i = p.ind * n; i < buffer.size(); i++)
    EXPECT_EQ(buffer[i], kSentinel) << "written past the last row at " << i;
  return rows;
}

double factorial(int a) { return a <= 1 ? 1 : a * factorial(a - 1); }

TEST(SetPartitions, WorkedShapesInEnumerationOrder) {
  struct Case {
    std::vector<int> shape;
    int n;
    Rows rows;
  };
  const Case cases[] = {
      {{1, 1, 1}, 3, {{1, 2, 3}}},
      {{2, 1}, 3, {{1, 2, 1}, {1, 1, 2}, {2, 1, 1}}},
      {{2, 2}, 4, {{1, 2, 2, 1}, {1, 1, 2, 2}, {1, 2, 1, 2}}},
      {{3, 1}, 4, {{1, 1, 2, 1}, {1, 1, 1, 2}, {1, 2, 1, 1}, {2, 1, 1, 1}}},
      {{2, 1, 1},
       4,
       {{1, 2, 3, 1}, {1, 1, 2, 3}, {1, 2, 1, 3}, {2, 1, 3, 1}, {2, 1, 1, 3}, {2, 3, 1, 1}}},
      {{1, 2}, 3, {}},  // a smaller block before a larger one
      {{2, 0}, 2, {{1, 1}}},
      {{1, 0, 0}, 1, {}},  // two empty blocks never compare as ordered
      {{4}, 4, {{1, 1, 1, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.shape));
    EXPECT_EQ(enumerate(c.shape, c.n), c.rows);
  }
}

// Every division appears once, with the right block sizes, equal blocks in order of their
// smallest item; the count is n! / prod size! / prod multiplicity!.
TEST(SetPartitions, EachDivisionOnceForManyShapes) {
  const std::vector<std::vector<int>> shapes = {
      {3, 2, 2}, {2, 2, 2}, {4, 1, 1, 1}, {3, 3}, {2, 2, 1, 1}, {5, 2}, {1, 1, 1, 1, 1, 1}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(::testing::PrintToString(shape));
    int n = 0;
    for (int s : shape) n += s;
    double expected = factorial(n);
    for (int s : shape) expected /= factorial(s);
    for (int s = 1; s <= n; s++)
      expected /= factorial(static_cast<int>(std::count(shape.begin(), shape.end(), s)));

    const Rows rows = enumerate(shape, n);
    EXPECT_EQ(static_cast<double>(rows.size()), expected);
    EXPECT_EQ(std::set<std::vector<int>>(rows.begin(), rows.end()).size(), rows.size());
    for (const auto& row : rows) {
      std::vector<int> first(shape.size(), 0), sizes(shape.size(), 0);
      for (int i = 0; i < n; i++) {
        ASSERT_GE(row[i], 1);
        ASSERT_LE(row[i], static_cast<int>(shape.size()));
        if (sizes[row[i] - 1]++ == 0) first[row[i] - 1] = i;
      }
      EXPECT_EQ(sizes, shape);
      for (size_t b = 1; b < shape.size(); b++)
        if (shape[b] == shape[b - 1]) {
          EXPECT_LT(first[b - 1], first[b]);
        }
    }
  }
}

TEST(SetPartitions, BlockTests) {
  prt::Tuple filled = tupleOf({1, 3, 5});
  EXPECT_TRUE(filled.ordered());
  EXPECT_FALSE(tupleOf({1, 3, 3}).ordered());
  EXPECT_FALSE(tupleOf({2, 1}).ordered());
  EXPECT_TRUE(prt::Tuple().ordered());
  EXPECT_TRUE(tupleOf({9}).ordered());
  EXPECT_TRUE(filled.find(3));
  EXPECT_FALSE(filled.find(4));

  struct LtCase {
    std::vector<int> a, b;
    bool lt;
  };
  const LtCase ltCases[] = {
      {{1, 4}, {2, 3}, true},  {{2, 3}, {1, 4}, false}, {{1, 3}, {1, 4}, true},
      {{1, 4}, {1, 4}, false}, {{5, 6, 7}, {1, 2}, true}, {{1, 2}, {5, 6, 7}, false},
      {{}, {}, false},
  };
  for (const LtCase& c : ltCases)
    EXPECT_EQ(tupleOf(c.a).lt(tupleOf(c.b)), c.lt)
        << ::testing::PrintToString(c.a) << " lt " << ::testing::PrintToString(c.b);

  prt::Tuple block(3);
  block.fillmaxint();
  EXPECT_EQ(block[0], INT_MAX - 3);
  EXPECT_EQ(block[2], INT_MAX - 1);
  // A filled head with placeholders behind it is ordered exactly when the head increases.
  block[0] = 7;
  EXPECT_TRUE(block.ordered());
}

TEST(SetPartitions, PoolGetAndPutAreInverse) {
  prt::Digits pool(5);
  EXPECT_EQ(pool, (std::vector<int>{1, 2, 3, 4, 5}));
  const int a = pool.get(1);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(pool, (std::vector<int>{1, 5, 3, 4}));
  const int b = pool.get(3);  // the last element: nothing moves
  EXPECT_EQ(b, 4);
  EXPECT_EQ(pool, (std::vector<int>{1, 5, 3}));
  pool.put(3, b);
  EXPECT_EQ(pool, (std::vector<int>{1, 5, 3, 4}));
  pool.put(1, a);
  EXPECT_EQ(pool, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(SetPartitions, PrintsBraces) {
  prt::Partition p(tupleOf({2, 1}));
  p[0][0] = 1;
  p[0][1] = 3;
  p[1][0] = 2;
  std::ostringstream s;
  s << p << tupleOf({4, 5}) << prt::Tuple();
  EXPECT_EQ(s.str(), "{1,3}\n{2}\n{4,5}{}");
  int row[3];
  p.inject(row);
  EXPECT_EQ(std::vector<int>(row, row + 3), (std::vector<int>{1, 2, 1}));
}

TEST(IntegerPartitions, NextVisitsAllInLexicographicOrder) {
  struct Case {
    std::vector<int> first;
    Rows sequence;  // after the first
  };
  const Case cases[] = {
      {{1, 1, 4}, {{1, 2, 3}, {2, 2, 2}}},
      {{0, 0, 6}, {{0, 1, 5}, {0, 2, 4}, {0, 3, 3}, {1, 1, 4}, {1, 2, 3}, {2, 2, 2}}},
      {{1, 3}, {{2, 2}}},
      {{5}, {}},
      {{1, 1, 1}, {}},
      {{1, 1, 1, 4}, {{1, 1, 2, 3}, {1, 2, 2, 2}}},
      {{1, 1, 6}, {{1, 2, 5}, {1, 3, 4}, {2, 2, 4}, {2, 3, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.first));
    std::vector<int> x = c.first;
    int len = static_cast<int>(x.size());
    for (const auto& next : c.sequence) {
      ASSERT_EQ(nextrestrictedpart(x.data(), &len), 0);
      EXPECT_EQ(x, next);
    }
    const std::vector<int> last = x;
    EXPECT_EQ(nextrestrictedpart(x.data(), &len), 1);
    EXPECT_EQ(x, last);

    std::vector<int> y = c.first;
    EXPECT_EQ(numbrestrictedparts(y.data(), len), static_cast<int>(c.sequence.size()) + 1);
    EXPECT_EQ(y, last);
  }
}

TEST(IntegerPartitions, ListAllWithAndWithoutZeros) {
  struct Case {
    int m, n, inc;
    std::vector<int> all;
  };
  const Case cases[] = {
      {3, 6, 0, {1, 1, 4, 1, 2, 3, 2, 2, 2}},
      {3, 6, 1, {0, 0, 6, 0, 1, 5, 0, 2, 4, 0, 3, 3, 1, 1, 4, 1, 2, 3, 2, 2, 2}},
      {2, 4, 0, {1, 3, 2, 2}},
      {1, 3, 0, {3}},
  };
  for (Case c : cases) {
    std::vector<int> x(c.all.size(), -1);
    int len = static_cast<int>(x.size());
    allrestrictedparts(&c.m, &c.n, &len, &c.inc, x.data());
    EXPECT_EQ(x, c.all) << "m=" << c.m << " n=" << c.n << " inc=" << c.inc;
  }
}

}  // namespace
