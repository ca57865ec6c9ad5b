#include "run/valida_datos.h"

#include <functional>

#include "run/driver.h"

namespace kolt::run {
namespace {

std::optional<Refusal> check(const Request& request, Context& ctx,
                             const std::function<bool(std::string_view)>& ValidaFecha) {
  const bool ini = run::isFilled(request.mskFechaIni);
  const bool fin = run::isFilled(request.mskFechaFin);
  if (ini) {
    if (!ValidaFecha(request.mskFechaIni))
      return Refusal{kMensajeFechaInicio, run::kTituloValidaFecha, Control::mskFechaIni};
    ctx.gcFechaIni = request.mskFechaIni;
  }
  if (fin) {
    if (!ValidaFecha(request.mskFechaFin))
      return Refusal{kMensajeFechaFin, run::kTituloValidaFecha, Control::mskFechaFin};
    ctx.gcFechaFin = request.mskFechaFin;
  }
  // Equal dates pass: both bounds are inclusive.
  if (ini && fin && run::dayNumber(request.mskFechaFin) < run::dayNumber(request.mskFechaIni))
    return Refusal{kMensajeOrdenFechas, "", Control::mskFechaIni};
  ctx.gaUnidades = request.checked;
  if (ctx.gaUnidades.empty()) return Refusal{kMensajeSinUnidades, "", Control::lstUnidades};
  return std::nullopt;
}

}  // namespace

std::optional<Refusal> ValidaDatos(const Request& request, Context& ctx, DateMessages& messages,
                                   int currentYear) {
  return check(request, ctx, [&](std::string_view fecha) {
    return run::ValidaFecha(fecha, messages, currentYear);
  });
}

std::optional<Refusal> ValidaDatos(const Request& request, Context& ctx, DateMessages& messages) {
  return check(request, ctx,
               [&](std::string_view fecha) { return run::ValidaFecha(fecha, messages); });
}

}  // namespace kolt::run
