#include "sampler/HeatedChains.h"

#include <algorithm>
#include <cmath>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/Text.h"
#include "sampler/InitialPartition.h"
#include "stats/Arrays.h"

namespace {
// Bounds of a log-gap: neighbours stay distinct, and no rung is hotter than a tenth of the
// one before.
const double kMinGap = 1e-6;
const double kMaxGap = std::log(10.0);
}  // namespace

TemperatureLadder::TemperatureLadder(int chains, double ratio)
    : gaps_(std::max(chains - 1, 0), -std::log(ratio)),
      updates_(gaps_.size(), 0),
      betas_(chains, 1.0) {
  for (std::size_t p = 0; p < gaps_.size(); p++) betas_[p + 1] = betas_[p] * ratio;
}

void TemperatureLadder::adapt(int pair, double acceptance) {
  // Steps shrink as the pair's proposals add up, so the gap settles.
  const double step = 1.0 / std::pow(1.0 + updates_[pair] / 10.0, 0.6);
  updates_[pair]++;
  gaps_[pair] = std::clamp(gaps_[pair] * std::exp(step * (acceptance - kTarget)), kMinGap, kMaxGap);
  for (std::size_t p = 0; p < gaps_.size(); p++) betas_[p + 1] = betas_[p] * std::exp(-gaps_[p]);
}

std::string TemperatureLadder::text() const {
  std::string line;
  for (double beta : betas_) line += (line.empty() ? "" : " ") + Text::n2s(beta);
  return line;
}

ChainTeam::ChainTeam(int size) {
  for (int member = 1; member < size; member++) {
    try {
      threads_.emplace_back(&ChainTeam::work, this, member);
    } catch (const std::system_error&) {
      break;  // the members made share the work
    }
  }
}

ChainTeam::~ChainTeam() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  start_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ChainTeam::run(const std::function<void(int)>& job) {
  if (threads_.empty()) {
    job(0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    pending_ = static_cast<int>(threads_.size());
    round_++;
  }
  start_.notify_all();
  job(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
  job_ = nullptr;
}

void ChainTeam::work(int member) {
  unsigned long seen = 0;
  for (;;) {
    const std::function<void(int)>* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return quit_ || round_ != seen; });
      if (quit_) return;
      seen = round_;
      job = job_;
    }
    (*job)(member);
    std::lock_guard<std::mutex> lock(mutex_);
    if (--pending_ == 0) done_.notify_one();
  }
}

// A heated copy: everything a chain changes while it moves is its own.
struct HeatedChains::Copy {
  Copy(const ChainConfig& config, const Scorer& coldScorer, const ParameterDraws& coldDraws,
       uint32_t seed)
      : model(coldScorer.model().copyForChain()),
        state(model->n, config.k),
        scorer(*model, config, log),
        moves(*config.heuristic, model->n, state.infmix, DebugLog{log, false}),
        draws(coldDraws) {
    generator.initialize(seed);
  }
  std::ostringstream log;  // failure lines, copied to the run log by the calling thread
  // What the copy would show on the console, shown by the calling thread.
  std::ostringstream out, err;
  std::unique_ptr<Observable> model;
  ChainState state;
  Scorer scorer;
  IterationMoves moves;
  ParameterDraws draws;
  mersenne generator;
};

HeatedChains::HeatedChains(int chains, const ChainConfig& config, ChainState& cold,
                           Scorer& coldScorer, const ParameterDraws& coldDraws, uint32_t seed,
                           int threads)
    : cold_(cold),
      coldScorer_(coldScorer),
      coldDraws_(coldDraws),
      ladder_(chains, 0.7),
      team_(std::min(threads, chains)),
      proposed_(std::max(chains - 1, 0), 0),
      accepted_(std::max(chains - 1, 0), 0),
      failures_(chains) {
  for (int c = 1; c < chains; c++) {
    copies_.push_back(std::make_unique<Copy>(config, coldScorer, coldDraws,
                                             streamSeed(seed, static_cast<uint32_t>(c))));
    copies_.back()->scorer.setInverseTemperature(ladder_.beta(c));
  }
  swapGenerator_.initialize(streamSeed(seed, static_cast<uint32_t>(chains)));
}

HeatedChains::~HeatedChains() = default;

long long HeatedChains::adaptationLength(long long iterations) {
  return std::min(iterations / 5, kMaxAdaptation);
}

const ChainState& HeatedChains::state(int c) const {
  return c == 0 ? cold_ : copies_[c - 1]->state;
}

ChainState& HeatedChains::chainState(int c) { return c == 0 ? cold_ : copies_[c - 1]->state; }

Scorer& HeatedChains::chainScorer(int c) { return c == 0 ? coldScorer_ : copies_[c - 1]->scorer; }

const Scorer& HeatedChains::scorer(int c) const {
  return c == 0 ? coldScorer_ : copies_[c - 1]->scorer;
}

void HeatedChains::start(bool copyColdStart) {
  for (std::unique_ptr<Copy>& copy : copies_) {
    if (copyColdStart) {
      copy->state.setPartition(cold_.zold, cold_.kold);
    } else {
      UseGenerator use(copy->generator);
      InitialPartition(copy->state, copy->scorer.prior(), copy->log).randomZ0();
    }
    const double score = copy->scorer.getTotalLik(copy->state.zold.data(), copy->state.kold);
    if (!std::isfinite(score))
      failRun(copy->log, Failure::Internal,
              "Run stopped: the starting partition of a heated chain scores " + Text::n2s(score));
    copy->state.startTrace(score);
    copy->log.str("");
  }
}

void HeatedChains::describe(std::ostream& log) const {
  log << "Heated chains (-T " << size() << "): inverse temperatures " << ladder_.text()
      << ", adapted during the first " << adaptIterations_ << " iterations\n";
}

void HeatedChains::iterate(long long iteration, const std::function<void()>& coldIteration,
                           std::ostream& log) {
  const int chains = size();
  const int members = team_.size();
  team_.run([&](int member) {
    for (int c = member; c < chains; c += members) {
      try {
        if (c == 0) {
          coldIteration();
        } else {
          Copy& copy = *copies_[c - 1];
          ChainConsole console(copy.out, copy.err);
          UseGenerator use(copy.generator);
          copy.draws.stepAll(copy.state, copy.scorer);
          copy.moves.iterate(copy.state, copy.scorer);
        }
      } catch (...) {
        failures_[c] = std::current_exception();
      }
    }
  });
  showCopiesConsole();
  for (int c = 0; c < chains; c++) {
    if (!failures_[c]) continue;
    for (std::unique_ptr<Copy>& copy : copies_) log << copy->log.str();
    std::exception_ptr failure = failures_[c];
    std::fill(failures_.begin(), failures_.end(), nullptr);
    std::rethrow_exception(failure);
  }
  proposeSwap(iteration, log);
}

void HeatedChains::showCopiesConsole() {
  for (std::unique_ptr<Copy>& copy : copies_) {
    if (copy->out.tellp() > 0) {
      vout() << copy->out.str();
      vout().flush();
      copy->out.str("");
    }
    if (copy->err.tellp() > 0) {
      verr() << copy->err.str();
      verr().flush();
      copy->err.str("");
    }
  }
}

void HeatedChains::proposeSwap(long long iteration, std::ostream& log) {
  const int pairs = size() - 1;
  if (pairs < 1) return;
  UseGenerator use(swapGenerator_);
  const int p = rUniform(0, pairs - 1);
  ChainState& a = chainState(p);
  ChainState& b = chainState(p + 1);
  // With drawn parameters a chain's last trace point may predate its latest draw: score
  // afresh then.
  const bool parameters = !coldDraws_.empty();
  const double scoreA =
      parameters ? chainScorer(p).getTotalLik(a.zold.data(), a.kold) : a.previousLik;
  const double scoreB =
      parameters ? chainScorer(p + 1).getTotalLik(b.zold.data(), b.kold) : b.previousLik;
  // Exchanging the states (partition and drawn parameters) of chains at beta_p > beta_{p+1}:
  // the product of the tempered targets changes by exp((beta_p - beta_{p+1}) * (S_b - S_a)),
  // the parameters' prior densities appearing once on each side.
  const double logRatio = (ladder_.beta(p) - ladder_.beta(p + 1)) * (scoreB - scoreA);
  const double acceptance = logRatio >= 0 ? 1.0 : std::exp(logRatio);
  const bool pass = myunif_rand() < acceptance;
  if (iteration >= countedFrom_) {
    proposed_[p]++;
    if (pass) accepted_[p]++;
  }
  if (pass) {
    a.exchangePartition(b);
    coldDraws_.exchange(chainScorer(p), chainScorer(p + 1));
    // The exchange is an accepted step of both chains: a trace point each.
    a.trace(scoreB);
    b.trace(scoreA);
  }
  if (iteration > adaptIterations_) return;
  // Every pair learns from every iteration: what its exchange would pass with now.
  for (int q = 0; q < pairs; q++) {
    const double gain = (ladder_.beta(q) - ladder_.beta(q + 1)) *
                        (chainState(q + 1).previousLik - chainState(q).previousLik);
    ladder_.adapt(q, gain >= 0 ? 1.0 : std::exp(gain));
  }
  for (int c = 1; c <= pairs; c++) copies_[c - 1]->scorer.setInverseTemperature(ladder_.beta(c));
  if (iteration == adaptIterations_) {
    log << "Heated chains: after iteration " << iteration << " the inverse temperatures are "
        << ladder_.text() << '\n';
    std::fill(proposed_.begin(), proposed_.end(), 0);
    std::fill(accepted_.begin(), accepted_.end(), 0);
    countedFrom_ = iteration + 1;
  }
}

void HeatedChains::report(std::ostream& log) const {
  log << "Heated chains: swap acceptance from iteration " << countedFrom_ << ":";
  for (std::size_t p = 0; p < proposed_.size(); p++) {
    const double rate =
        proposed_[p] > 0 ? static_cast<double>(accepted_[p]) / static_cast<double>(proposed_[p]) : 0.0;
    log << (p == 0 ? " " : ", ") << "chains " << p + 1 << '-' << p + 2 << ' ' << Text::n2s(rate)
        << " (" << accepted_[p] << " of " << proposed_[p] << ')';
  }
  log << '\n';
}
