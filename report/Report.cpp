#include "report/Report.h"

namespace report {

const char* kindName(DataKind kind) {
  switch (kind) {
    case DataKind::Sequences: return "protein alignment";
    case DataKind::Binary: return "0/1 matrix";
    case DataKind::Categorical: return "categorical matrix";
    case DataKind::Real: return "real matrix";
  }
  return "data";
}

}  // namespace report
