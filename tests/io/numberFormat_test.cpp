// The fast number writers must produce exactly what the stream's << produces.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "io/Text.h"

namespace {

std::string viaStream(const std::vector<double>& values, int precision) {
  std::ostringstream out;
  out.precision(precision);
  for (double v : values) out << v << ' ';
  out << '\n';
  return out.str();
}

TEST(NumberFormat, DoublesMatchTheStreamAtEveryPrecision) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.5, 0.5, 1234567.0, 123456.0, 1e-5, 9.99999e-5,
                                1e10, 9999999999.0, 2.302585092994046, -7.103723,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::max(), 0.1 + 0.2, 100.0, 1e100};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 20000; i++)
    values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
  for (int i = 0; i < 2000; i++) values.push_back(std::round(mantissa(random) * 1e6) / 1e3);
  for (int precision : {1, 2, 6, 10, 15, 17}) {
    std::ostringstream fast;
    fast.precision(precision);
    Text::printArray(values.data(), static_cast<int>(values.size()), fast, true);
    EXPECT_EQ(fast.str(), viaStream(values, precision)) << precision;
    std::ostringstream one, reference;
    one.precision(precision);
    reference.precision(precision);
    for (double v : values) {
      Text::writeNumber(one, v, '\n');
      reference << v << '\n';
    }
    EXPECT_EQ(one.str(), reference.str()) << precision;
  }
}

TEST(NumberFormat, IntsAndMatricesMatchTheStream) {
  std::vector<int> values = {0, 1, -1, 9, 10, 2147483647, -2147483647 - 1, 42, 1000000};
  std::ostringstream fast, reference;
  Text::print2Dmatrix(values.data(), 3, 3, fast);
  for (int r = 0; r < 3; r++) {
    for (int c = 0; c < 3; c++) reference << values[r * 3 + c] << ' ';
    reference << '\n';
  }
  EXPECT_EQ(fast.str(), reference.str());
}

TEST(NumberFormat, NonDefaultStreamsKeepTheirFormatting) {
  const double values[] = {1.5, 2.25};
  std::ostringstream fixed;
  fixed << std::fixed;
  Text::printArray(values, 2, fixed, false);
  EXPECT_EQ(fixed.str(), "1.500000 2.250000 ");
  const int labels[] = {10, 11};
  std::ostringstream hex;
  hex << std::hex;
  Text::printArray(labels, 2, hex, true);
  EXPECT_EQ(hex.str(), "a b \n");
}

}  // namespace
