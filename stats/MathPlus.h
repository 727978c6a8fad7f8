// Log-sum-exp, log-gamma with a guard at zero, the log multivariate beta, and the packed-triangle index.
#pragma once

struct MathPlus {
  // log(sum weights[i] * exp(logValues[i])), the largest value factored out.
  static double logSumExp(const double* logValues, int howMany, const double* weights);
  static double logSumExp(const double* logValues, int howMany);
  static double logAddExp(double logV1, double logV2);
  static double factorial(double a);
  // lgamma(a), but exactly 0 for a == 0 so that empty clusters add nothing; safe from any
  // thread. Every log-gamma of the program goes through here.
  static double mylgamma(double a);
  // sum mylgamma(alpha[i]) - mylgamma(sum alpha[i]); its exp unless logged.
  static double lbeta(const double* alpha, int m, bool logged);
  // Position seqno of the strict lower triangle (1,0), (2,0), (2,1), (3,0), ... to (row, col).
  static void getRowCol(int seqno, int& row, int& col);
};

struct StatPlus {
  static double ddirichlet(const double* x, const double* alpha, short categories,
                           bool logOutput);
  static double ddirichlet_log(const double* logx, const double* alpha, short categories,
                               bool logOutput);
};
