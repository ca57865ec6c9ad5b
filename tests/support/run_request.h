// The request of a run over the session's units, as the window would build it.
#pragma once

#include "run/context.h"
#include "run/valida_datos.h"

namespace kolt::test {

inline run::RunRequest requestFor(const run::Context& ctx, const char* desde = nullptr,
                                  const char* hasta = nullptr, unsigned threads = 0) {
  run::Request request;
  request.checked = ctx.gaUnidades;
  if (desde) request.mskFechaIni = desde;
  if (hasta) request.mskFechaFin = hasta;
  run::RunRequest run = run::runRequest(request, ctx);
  run.threads = threads;
  return run;
}

}  // namespace kolt::test
