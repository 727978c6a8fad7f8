// What the process shows its user, R package build: standard output goes through Rprintf to
// R's console (so sink() and capture.output() see it) unless a .Call entry captures it, the
// progress line becomes a text bar on R's console, and the progress hook is where R's own
// interrupt (Ctrl-C, Esc) is noticed and turned into the flag a SIGINT sets.
#include "R_console.h"

#include <R_ext/Print.h>
#define R_NO_REMAP
#include <Rinternals.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <streambuf>

#include "io/Console.h"
#include "io/Interrupt.h"

namespace {

std::string* capture = nullptr;
std::string* captureError = nullptr;

// Collects text and hands it to Rprintf (REprintf for standard error, or the capture) when
// full or flushed.
class RConsoleBuffer : public std::streambuf {
 public:
  explicit RConsoleBuffer(bool error = false) : error_(error) {
    setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int_type overflow(int_type c) override {
    emit();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    emit();
    return 0;
  }

 private:
  void emit() {
    int length = static_cast<int>(pptr() - pbase());
    if (length > 0) {
      if (error_ && captureError != nullptr)
        captureError->append(pbase(), static_cast<size_t>(length));
      else if (error_) REprintf("%.*s", length, pbase());
      else if (capture != nullptr) capture->append(pbase(), static_cast<size_t>(length));
      else Rprintf("%.*s", length, pbase());
    }
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  bool error_;
  char buffer_[4096];
};

struct ProgressState {
  bool draw = false;
  bool drawn = false;
  long long iterations = 0;
  int minutes = -1;
  std::string title;
  std::chrono::steady_clock::time_point start;
  long parent = 0;  // the forking R session's process id, or 0
} progress;

// R_CheckUserInterrupt jumps when an interrupt is pending; R_ToplevelExec stops the jump at
// its own frame, so no C++ frame of the run is skipped and the session's handlers stay out.
void checkInterrupt(void*) { R_CheckUserInterrupt(); }

void pollInterrupt() {
  // A forked chain whose session is gone stops cleanly instead of running on orphaned.
  if (progress.parent != 0 && getppid() != static_cast<pid_t>(progress.parent))
    requestInterrupt(SIGTERM);
  if (!R_ToplevelExec(checkInterrupt, nullptr)) requestInterrupt(SIGINT);
}

// Share of the run done, from the iteration count the line starts with or the time used.
double doneShare(const char* line) {
  double share = 0;
  long long iteration = 0;
  if (progress.iterations > 0 && std::sscanf(line, "iteration %lld", &iteration) == 1)
    share = static_cast<double>(iteration) / static_cast<double>(progress.iterations);
  if (progress.minutes > 0) {
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
    double byTime = seconds / (60.0 * progress.minutes);
    if (byTime > share) share = byTime;
  }
  return share > 1 ? 1 : share;
}

}  // namespace

namespace rconsole {

void setCapture(std::string* output, std::string* errors) {
  vout().flush();
  verr().flush();
  capture = output;
  captureError = errors;
}

void startProgress(bool draw, long long iterations, int minutes, const std::string& title,
                   long parent) {
  progress = ProgressState();
  progress.draw = draw;
  progress.iterations = iterations;
  progress.minutes = minutes;
  progress.title = title;
  progress.parent = parent;
  progress.start = std::chrono::steady_clock::now();
}

}  // namespace rconsole

std::ostream& vout() {
  static RConsoleBuffer buffer;
  static std::ostream stream(&buffer);
  return stream;
}

std::ostream& verr() {
  static RConsoleBuffer buffer(true);
  static std::ostream stream(&buffer);
  return stream;
}

// Always wanted: the hook is also the interrupt poll.
bool progressWanted() { return true; }

namespace {

void drawBar(double share, const char* line) {
  constexpr int kWidth = 30;
  const int filled = static_cast<int>(share * kWidth);
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; i++) bar[i] = i < filled ? '=' : ' ';
  bar[kWidth] = '\0';
  REprintf("\r%s|%s| %3d%%  %-60.60s", progress.title.c_str(), bar, static_cast<int>(share * 100),
           line);
  progress.drawn = true;
}

}  // namespace

void progressShow(const char* line) {
  pollInterrupt();
  if (progress.draw) drawBar(doneShare(line), line);
}

// The bar stays open for the run's closing line, which finishProgress ends.
void progressEnd() {}

// "vornak: HOW after N iterations; ...": the bar is redrawn at N, so a completed run
// ends at 100% however seldom the run refreshed it.
void progressFinal(const char* line) {
  if (!progress.draw) return;
  long long iterations = 0;
  double share = doneShare("");
  const char* after = std::strstr(line, " after ");
  if (progress.iterations > 0 && after != nullptr &&
      std::sscanf(after, " after %lld iterations", &iterations) == 1)
    share = static_cast<double>(iterations) / static_cast<double>(progress.iterations);
  drawBar(share > 1 ? 1 : share, line + (std::strncmp(line, "vornak: ", 8) == 0 ? 8 : 0));
}

namespace rconsole {

void finishProgress() {
  if (progress.drawn) REprintf("\n");
  progress.drawn = false;
}

}  // namespace rconsole
