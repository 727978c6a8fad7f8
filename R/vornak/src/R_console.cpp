// What the process shows its user, R package build: standard output goes through Rprintf
// to R's console (so sink() and capture.output() see it), standard error through REprintf,
// and there is no progress line.
#include <R_ext/Print.h>

#include <ostream>
#include <streambuf>

#include "U/Console.h"
#include "U/ErrorStream.h"

namespace {

// Collects text and hands it to R's printer when full or flushed.
template <void (*print)(const char*, ...)>
class RConsoleBuffer : public std::streambuf {
 public:
  RConsoleBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }

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
    if (length > 0) print("%.*s", length, pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
  }
  char buffer_[4096];
};

}  // namespace

std::ostream& vout() {
  static RConsoleBuffer<Rprintf> buffer;
  static std::ostream stream(&buffer);
  return stream;
}

std::ostream& verr() {
  static RConsoleBuffer<REprintf> buffer;
  static std::ostream stream(&buffer);
  return stream;
}

bool progressWanted() { return false; }
void progressShow(const char*) {}
void progressEnd() {}
