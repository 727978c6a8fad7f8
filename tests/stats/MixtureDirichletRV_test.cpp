// Dirichlet and mixture-of-Dirichlet priors: integrated likelihoods of counts, reading the
// prior text, the built-in texts, copies, posterior updates, densities and draws.
#include "stats/MixtureDirichletRV.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <sstream>
#include <vector>

#include "stats/DirichletRV.h"
#include "models/PriorStrings.h"
#include "stats/rvgs.h"
#include "tests/models/model_test_util.h"

namespace {

MixtureDirichletRV fromText(const std::string& text) {
  std::stringstream s(text);
  std::ostringstream log;
  return MixtureDirichletRV(s, log);
}

TEST(DirichletPriors, IntegratedLikelihoodOfCounts) {
  struct Case {
    std::vector<double> alpha;
    std::vector<int> counts;
    double expected;
  };
  // Dirichlet-multinomial probabilities worked by hand (no multinomial coefficient).
  const Case cases[] = {
      {{1, 1}, {1, 0}, -0.693147},      // log(1/2)
      {{1, 1}, {2, 1}, -2.484907},      // log(1/12)
      {{0.5, 0.5}, {2, 0}, -0.980829},  // log(0.375)
      {{0.5, 0.5}, {3, 0}, -1.163151},  // log(.5 * 1.5 * 2.5 / (1 * 2 * 3))
      {{1, 1, 1}, {0, 1, 1}, -2.484907},  // log(1/3 * 1/4)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    short D = static_cast<short>(c.alpha.size());
    DirichletRV plain(D, c.alpha.data());
    EXPECT_NEAR(plain.logIntegratedLik(c.counts.data()), c.expected, 1e-6);
    // A one-component mixture of weight 1 is the plain Dirichlet.
    std::ostringstream text;
    text << "1 " << D << " 1";
    for (double a : c.alpha) text << ' ' << a;
    EXPECT_NEAR(fromText(text.str()).logIntegratedLik(c.counts.data()), c.expected, 1e-6);
  }
}

TEST(DirichletPriors, ZeroCountsAndMixtureWeights) {
  const int zero[2] = {0, 0};
  EXPECT_EQ(DirichletRV(2, 0.3).logIntegratedLik(zero), 0.0);
  // Mixture of zero counts: log of the weight sum, even when it is not 1.
  EXPECT_NEAR(fromText("2 2 0.2 1 1 0.3 0.5 0.5").logIntegratedLik(zero), std::log(0.5), 1e-12);
  // Weights 0.3 and 0.7 over Dir(1,1) (1/3 for counts (2,0)) and Dir(.5,.5) (0.375).
  const int twoZero[2] = {2, 0};
  EXPECT_NEAR(fromText("2 2 0.3 1 1 0.7 0.5 0.5").logIntegratedLik(twoZero),
              std::log(0.3 / 3 + 0.7 * 0.375), 1e-12);
}

TEST(DirichletPriors, ReadsPriorTexts) {
  MixtureDirichletRV flat = fromText(HDBernFlatPriorString);
  EXPECT_EQ(flat.mixtureOrder, 1);
  EXPECT_EQ(flat.dimension, 2);
  EXPECT_EQ(flat.mixtureCoef, std::vector<double>{1.0});
  EXPECT_EQ(flat.alpha[0][0], 1.0);
  EXPECT_EQ(flat.alpha[0][1], 1.0);

  struct TwoCategory {
    const char* text;
    double value;
  };
  for (const TwoCategory& c : {TwoCategory{HDBernPoint5PriorString, 0.5},
                               TwoCategory{HDBernPoint05PriorString, 0.05},
                               TwoCategory{HDBernPoint005PriorString, 0.005}}) {
    MixtureDirichletRV prior = fromText(c.text);
    EXPECT_EQ(prior.mixtureOrder, 1);
    EXPECT_EQ(prior.dimension, 2);
    EXPECT_EQ(prior.alpha[0][0], c.value);
    EXPECT_EQ(prior.alpha[0][1], c.value);
  }

  MixtureDirichletRV bg = fromText(ProteinSequenceBgPriorString);
  EXPECT_EQ(bg.mixtureOrder, 1);
  EXPECT_EQ(bg.dimension, 20);
  EXPECT_NEAR(std::accumulate(bg.alpha[0], bg.alpha[0] + 20, 0.0), 0.999, 1e-12);
  EXPECT_EQ(bg.alpha[0][0], 0.076);   // A
  EXPECT_EQ(bg.alpha[0][9], 0.093);   // L
  EXPECT_EQ(bg.alpha[0][19], 0.032);  // Y

  MixtureDirichletRV flat20 = fromText(ProteinSequenceFlatPriorString);
  EXPECT_EQ(flat20.dimension, 20);
  for (int m = 0; m < 20; m++) EXPECT_EQ(flat20.alpha[0][m], 1.0);

  MixtureDirichletRV cloud9 = fromText(ProteinSequenceCloud9PriorString);
  EXPECT_EQ(cloud9.mixtureOrder, 9);
  EXPECT_EQ(cloud9.dimension, 20);
  EXPECT_NEAR(std::accumulate(cloud9.mixtureCoef.begin(), cloud9.mixtureCoef.end(), 0.0),
              1.0000006, 1e-12);
  EXPECT_EQ(cloud9.mixtureCoef[0], 0.178091);
  EXPECT_EQ(cloud9.mixtureCoef[2], 0.0960191);
  EXPECT_EQ(cloud9.mixtureCoef[8], 0.234585);
  EXPECT_EQ(cloud9.alpha[0][0], 0.270671);
  EXPECT_EQ(cloud9.alpha[1][19], 0.419641);
  EXPECT_EQ(cloud9.alpha[4][9], 0.999446);
  EXPECT_EQ(cloud9.alpha[8][19], 0.002686);
}

TEST(DirichletPriors, RejectsMalformedPriorText) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"", "Bad prior text: number of components missing"},
      {"x 2", "Bad prior text: number of components not a whole number: x"},
      {"1.5 2 1 1 1", "Bad prior text: number of components not a whole number: 1.5"},
      {"0 2", "Bad prior text: number of components not positive: 0"},
      {"1", "Bad prior text: number of categories missing"},
      {"1 -2 1 1 1", "Bad prior text: number of categories not positive: -2"},
      {"1 2", "Bad prior text: weight of component 1 missing"},
      {"1 2 1 0.5", "Bad prior text: parameter 2 of component 1 missing"},
      {"2 2 1 1 1 0.5 1 abc", "Bad prior text: parameter 2 of component 2 not a number: abc"},
      {"1 2 w 1 1", "Bad prior text: weight of component 1 not a number: w"},
      {"1 2 1 0.5x 1", "Bad prior text: parameter 1 of component 1 not a number: 0.5x"},
      {"1 2 1 nan 1", "Bad prior text: parameter 1 of component 1 not a number: nan"},
      {"1 2 1 1e999 1", "Bad prior text: parameter 1 of component 1 not a number: 1e999"},
      // A text promising a huge shape fails on the missing numbers, not on memory.
      {"2000000000 2000000000 1", "Bad prior text: parameter 1 of component 1 missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::stringstream s(c.text);
    std::ostringstream log;
    std::string out = modeltest::expectRunError([&] { MixtureDirichletRV prior(s, log); }, c.line);
    EXPECT_EQ(log.str(), std::string(c.line) + "\n");
    EXPECT_EQ(out, std::string(c.line) + "\n");
  }
}

TEST(DirichletPriors, CopiesAreIndependentOfAnyShape) {
  MixtureDirichletRV source = fromText(ProteinSequenceCloud9PriorString);
  MixtureDirichletRV target = fromText("1 2 1 1 1");
  target = source;
  MixtureDirichletRV copied(source);
  source.alpha[4][9] = 7;
  source.mixtureCoef[0] = 7;
  for (const MixtureDirichletRV* m : {&target, &copied}) {
    EXPECT_EQ(m->mixtureOrder, 9);
    EXPECT_EQ(m->dimension, 20);
    EXPECT_EQ(m->alpha[4][9], 0.999446);
    EXPECT_EQ(m->mixtureCoef[0], 0.178091);
    // The scratch of logIntegratedLik follows the new shape.
    std::vector<int> counts(20, 1);
    EXPECT_TRUE(std::isfinite(m->logIntegratedLik(counts.data())));
  }
  // copy() takes values between objects of one shape.
  MixtureDirichletRV same = fromText("1 2 1 1 1");
  same.copy(fromText("1 2 0.25 3 4"));
  EXPECT_EQ(same.mixtureCoef[0], 0.25);
  EXPECT_EQ(same.alpha[0][1], 4.0);

  DirichletRV d(3, 2.0);
  DirichletRV e(2);
  e = d;
  d.alpha[0] = 9;
  EXPECT_EQ(e.dimension, 3);
  EXPECT_EQ(e.alpha, (std::vector<double>{2, 2, 2}));
}

TEST(DirichletPriors, PosteriorUpdate) {
  // Dir(1,1) and Dir(2,2) with weight 1/2 each, counts (2,0): marginals 1/3 and 0.3.
  MixtureDirichletRV prior = fromText("2 2 0.5 1 1 0.5 2 2");
  MixtureDirichletRV posterior = prior;
  const int counts[2] = {2, 0};
  double marginal = posterior.setWithCountsPrior(counts, prior);
  EXPECT_NEAR(marginal, 0.5 / 3 + 0.5 * 0.3, 1e-12);
  EXPECT_NEAR(std::log(marginal), prior.logIntegratedLik(counts), 1e-12);
  EXPECT_NEAR(posterior.mixtureCoef[0], (0.5 / 3) / marginal, 1e-12);
  EXPECT_NEAR(posterior.mixtureCoef[1], 0.15 / marginal, 1e-12);
  EXPECT_EQ(posterior.alpha[0][0], 3.0);
  EXPECT_EQ(posterior.alpha[1][1], 2.0);

  DirichletRV single(2);
  const int more[2] = {4, 1};
  single.setWithCountsPrior(more, DirichletRV(2, 0.5));
  EXPECT_EQ(single.alpha, (std::vector<double>{4.5, 1.5}));
}

TEST(DirichletPriors, DensitySignatureAndText) {
  // Dir(1,1) is flat (density 1); Dir(2,2) at (1/2,1/2) is 3! * 1/4 = 1.5.
  MixtureDirichletRV mix = fromText("2 2 0.5 1 1 0.5 2 2");
  const double point[2] = {0.5, 0.5};
  const double logPoint[2] = {std::log(0.5), std::log(0.5)};
  EXPECT_NEAR(mix.logDensity(point, false), std::log(0.5 + 0.5 * 1.5), 1e-12);
  EXPECT_NEAR(mix.logDensity(logPoint, true), std::log(0.5 + 0.5 * 1.5), 1e-12);
  EXPECT_NEAR(DirichletRV(2, 2.0).logDensity(point, false), std::log(1.5), 1e-12);

  // 0.4 + (1 - 2 + 3) + (4 - 5 + 6)
  EXPECT_NEAR(fromText("2 3 0.4 1 2 3 0.6 4 5 6").getSignature(), 7.4, 1e-12);

  std::ostringstream shown;
  fromText("2 2 0.25 1 2 0.75 0.5 3").show(shown);
  EXPECT_EQ(shown.str(), "showing MixtureDirichletRV ...\n0.25\n1 2 \n0.75\n0.5 3 \n");

  modeltest::CaptureStdout out;
  fromText("1 2 1 1 1").sanityCheck();
  DirichletRV(3, 0.5).show();
  EXPECT_EQ(out.text(), "log density of the diagnoal vector is: 0" "0.5 0.5 0.5 \n");
}

TEST(DirichletPriors, DrawsFromTheChosenComponent) {
  _rng.initialize(5);
  // Weight 0 on a component concentrated on category 0, weight 1 on one concentrated on 1.
  MixtureDirichletRV mix = fromText("2 2 0 10000 1 1 1 10000");
  for (int rep = 0; rep < 20; rep++) {
    double mu[2];
    mix.draw(mu, false);
    EXPECT_NEAR(mu[0] + mu[1], 1.0, 1e-12);
    EXPECT_GT(mu[1], 0.99);
    double logMu[2];
    mix.draw(logMu, true);
    EXPECT_NEAR(std::exp(logMu[0]) + std::exp(logMu[1]), 1.0, 1e-12);
    EXPECT_GT(logMu[1], std::log(0.99));
  }
}

}  // namespace
