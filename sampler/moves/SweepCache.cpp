#include "sampler/moves/SweepCache.h"

namespace {
// Entries (observations x labels) of the one-at-a-time scores kept from sweep to sweep.
const size_t kSweepCacheBudget = size_t{1} << 22;
}  // namespace

void SweepCache::noteChanged(int label, const ClusterKey& key) {
  if (label >= static_cast<int>(versionKey_.size())) return;
  if (versionKey_[label] == key) return;
  versionKey_[label] = key;
  version_[label] = ++versionCounter_;
}

void SweepCache::reset(int n, int kold, bool keep, const std::vector<ClusterKey>& keys) {
  const bool fits = keep && width_ >= kold + 2 && width_ <= 2 * (kold + 8) &&
                    plusValue_.size() == static_cast<size_t>(n) * width_;
  const int width = fits ? width_ : kold + 8;
  if (static_cast<size_t>(n) * width > kSweepCacheBudget) {
    width_ = 0;
    return;
  }
  if (width != width_) {
    width_ = width;
    plusValue_.assign(static_cast<size_t>(n) * width, 0.0);
    plusStamp_.assign(static_cast<size_t>(n) * width, 0);
    minusValue_.assign(n, 0.0);
    minusStamp_.assign(n, 0);
    version_.assign(width, 0);
    versionKey_.assign(width, ClusterKey());
    for (int m = 0; m < width; m++) version_[m] = ++versionCounter_;
  }
  for (int m = 0; m <= kold && m < width; m++) noteChanged(m, keys[m]);
}

bool SweepCache::find(int m, int i, int sign, Entry& entry) {
  if (m >= width_) return false;
  const size_t at = static_cast<size_t>(i) * width_ + m;
  entry.value = sign > 0 ? &plusValue_[at] : &minusValue_[i];
  entry.stamp = sign > 0 ? &plusStamp_[at] : &minusStamp_[i];
  entry.version = version_[m];
  return true;
}
