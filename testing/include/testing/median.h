// Medians for the benches: single runs on a shared machine scatter.
#pragma once

#include <algorithm>
#include <vector>

namespace zv::testing {

// The median of `v` (the mean of the two middle values for an even count);
// 0 for none.
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The median of `runs` results of `once()`.
template <typename F>
double MedianOf(int runs, F&& once) {
  std::vector<double> v;
  for (int i = 0; i < runs; ++i) v.push_back(once());
  return Median(std::move(v));
}

}  // namespace zv::testing
