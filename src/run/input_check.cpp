#include "run/input_check.h"

#include <functional>

namespace kolt::run {
namespace {

std::variant<AcceptedInput, Refusal> check(
    const WindowInput& input, const std::function<bool(std::string_view)>& ValidaFecha) {
  AcceptedInput accepted;
  const bool ini = run::isFilled(input.mskFechaIni);
  const bool fin = run::isFilled(input.mskFechaFin);
  if (ini) {
    if (!ValidaFecha(input.mskFechaIni))
      return Refusal{kMensajeFechaInicio, run::kTituloValidaFecha, Control::mskFechaIni};
    accepted.periodStart = input.mskFechaIni;
  }
  if (fin) {
    if (!ValidaFecha(input.mskFechaFin))
      return Refusal{kMensajeFechaFin, run::kTituloValidaFecha, Control::mskFechaFin};
    accepted.periodEnd = input.mskFechaFin;
  }
  // Equal dates pass: both bounds are inclusive.
  if (ini && fin && run::dayNumber(input.mskFechaFin) < run::dayNumber(input.mskFechaIni))
    return Refusal{kMensajeOrdenFechas, "", Control::mskFechaIni};
  if (input.checked.empty()) return Refusal{kMensajeSinUnidades, "", Control::lstUnidades};
  accepted.units = input.checked;
  return accepted;
}

}  // namespace

bool isFilled(std::string_view box) {
  const auto first = box.find_first_not_of(' ');
  if (first == std::string_view::npos) return true;  // differs from the empty box's text
  return box.substr(first, box.find_last_not_of(' ') - first + 1) != kEmptyDateBox;
}

RunRequest runRequest(const AcceptedInput& accepted, const Session& session) {
  RunRequest run;
  run.source = session.cnnOrigen.file();
  run.catalogue = session.catalogue;
  run.resultsFolder = session.resultsFolder;
  run.units = accepted.units;
  run.periodStart = accepted.periodStart;
  run.periodEnd = accepted.periodEnd;
  run.sourceFile = session.sourceFile;
  run.catalogueFile =
      session.catalogueChoice.empty() ? cataloguePath(session.app) : session.catalogueChoice;
  return run;
}

std::variant<AcceptedInput, Refusal> checkInput(const WindowInput& input, DateMessages& messages,
                                                int currentYear) {
  return check(input, [&](std::string_view fecha) {
    return run::ValidaFecha(fecha, messages, currentYear);
  });
}

std::variant<AcceptedInput, Refusal> checkInput(const WindowInput& input, DateMessages& messages) {
  return check(input, [&](std::string_view fecha) { return run::ValidaFecha(fecha, messages); });
}

}  // namespace kolt::run
