// The request of a run over some of the session's units, as the window would build it.
#pragma once

#include <string>
#include <vector>

#include "run/input_check.h"
#include "run/session.h"

namespace kolt::test {

inline run::RunRequest requestFor(const run::Session& session, const std::vector<run::Unit>& units,
                                  const char* desde = nullptr, const char* hasta = nullptr,
                                  unsigned threads = 0) {
  run::AcceptedInput accepted{units, desde ? desde : "", hasta ? hasta : ""};
  run::RunRequest run = run::runRequest(accepted, session);
  run.threads = threads;
  return run;
}

}  // namespace kolt::test
