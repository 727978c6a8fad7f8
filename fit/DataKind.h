// vornak-fit's names for the shared detection and recommender (recommend/): the kind of the
// data file and the engine settings recommended for it.
#pragma once
#include "recommend/DataShape.h"
#include "recommend/Recommend.h"

namespace fit {

using recommend::DataShape;
using recommend::detectData;
using recommend::kRowsPerColumnForMvn;
using recommend::recommendedWords;
using recommend::suitsMvn;

}  // namespace fit
