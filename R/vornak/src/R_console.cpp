// What the process shows its user, R package build: standard output goes through Rprintf
// and standard error through REprintf to R's console (so sink() and capture.output() see
// them), and there is no progress line.
#include <R_ext/Print.h>

#include <ostream>
#include <streambuf>

#include "io/Console.h"

namespace {

// Collects text and hands it to Rprintf (or REprintf) when full or flushed.
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
    if (length > 0 && error_)
      REprintf("%.*s", length, pbase());
    else if (length > 0)
      Rprintf("%.*s", length, pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  bool error_;
  char buffer_[4096];
};

}  // namespace

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

bool progressWanted() { return false; }
void progressShow(const char*) {}
void progressEnd() {}
