#include "fit/Pilot.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <fstream>
#include <thread>

#include "fit/ChainRunner.h"
#include "fit/Options.h"
#include "io/Interrupt.h"

namespace fit {
namespace {

const double kMeasureSeconds = 1.0;

// Counts the line breaks added to a growing file since the last call.
class LineCounter {
 public:
  explicit LineCounter(std::string file) : file_(std::move(file)) {}
  long lines() {
    std::ifstream in(file_, std::ios::binary);
    if (!in) return lines_;
    in.seekg(static_cast<std::streamoff>(offset_));
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      const std::streamsize got = in.gcount();
      for (std::streamsize i = 0; i < got; i++)
        if (buffer[i] == '\n') lines_++;
      offset_ += static_cast<size_t>(got);
    }
    return lines_;
  }

 private:
  std::string file_;
  size_t offset_ = 0;
  long lines_ = 0;
};

}  // namespace

double measureSpeed(const std::string& engine, const std::vector<std::string>& words,
                    const std::string& folder, const std::string& dataName, double budgetSeconds) {
  using Clock = std::chrono::steady_clock;
  const std::string pilot = folder + "/.pilot";
  std::filesystem::create_directory(pilot);
  if (symlink(("../" + dataName).c_str(), (pilot + "/" + dataName).c_str()) != 0)
    throw FitError("cannot prepare the measuring run in " + pilot);
  std::vector<std::string> args = words;
  for (const char* word : {"-s", "1", "-t", "1", "-d", "1", "-e", "1000"}) args.push_back(word);
  args.insert(args.begin(), {"-f", dataName});

  double speed = 0;
  std::string failure;
  {
    Chain chain(engine, args, pilot, pilot + "/stdout", pilot + "/stderr");
    const Clock::time_point start = Clock::now();
    auto seconds = [](Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); };
    // Words the plan refuses make the run fail with its own line below.
    std::string draws;
    try {
      draws = drawsFileOf(args);
    } catch (const FitError&) {
    }
    std::unique_ptr<LineCounter> counter;
    long firstLines = 0;
    Clock::time_point first;
    while (chain.running() && !interruptSignal() && seconds(start) < budgetSeconds) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (draws.empty()) continue;
      if (!counter) counter = std::make_unique<LineCounter>(pilot + "/" + draws);
      const long lines = counter->lines();
      if (firstLines == 0 && lines > 0) {
        firstLines = lines;
        first = Clock::now();
      } else if (firstLines > 0 && seconds(first) >= kMeasureSeconds && lines > firstLines) {
        speed = static_cast<double>(lines - firstLines) / seconds(first);
        break;
      }
    }
    if (chain.running()) {
      chain.interrupt();
      chain.finish(60);
    } else if (!chain.endedNormally()) {
      failure = failureLine(pilot + "/stdout", pilot + "/stderr");
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(pilot, ignored);
  if (!failure.empty()) throw FitError(failure);
  return speed > 0 ? speed : 1.0 / budgetSeconds;
}

}  // namespace fit
