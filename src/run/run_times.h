// Where a run's time went, summed over its statements.
#pragma once

#include <chrono>

namespace kolt::run {

struct RunTimes {
  std::chrono::microseconds copying{0};  // the unit's records and the catalogues into its database
  std::chrono::microseconds rules{0};    // the rules' statements, drops and counts
  std::chrono::microseconds workbooks{0};  // writing sheets

  RunTimes& operator+=(const RunTimes& other) {
    copying += other.copying;
    rules += other.rules;
    workbooks += other.workbooks;
    return *this;
  }
};

}  // namespace kolt::run
