#include "run/valida_datos.h"

#include <functional>

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

bool isFilled(std::string_view box) {
  const auto first = box.find_first_not_of(' ');
  if (first == std::string_view::npos) return true;  // differs from the empty box's text
  return box.substr(first, box.find_last_not_of(' ') - first + 1) != kEmptyDateBox;
}

RunRequest runRequest(const Request& request, const Context& ctx) {
  RunRequest run;
  run.source = ctx.cnnOrigen.file();
  run.catalogue = ctx.rutaCatalogo;
  run.resultsFolder = ctx.resultados();
  run.units = request.checked;
  if (isFilled(request.mskFechaIni)) run.fechaIni = request.mskFechaIni;
  if (isFilled(request.mskFechaFin)) run.fechaFin = request.mskFechaFin;
  return run;
}

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
