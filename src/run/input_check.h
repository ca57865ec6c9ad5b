// The input checks of "&Validar", in the order the users know them: a bad start date is reported
// before a bad end date, both before dates out of order, all of them before a missing unit.
// Free of any window so that the checks can be read, and reused, on their own.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "run/date_utilities.h"
#include "run/run_request.h"
#include "run/session.h"

namespace kolt::run {

// The text of an empty date box. A box is filled when its text, without surrounding blanks,
// differs from it.
inline constexpr const char* kEmptyDateBox = "__/__/____";
bool isFilled(std::string_view dateBox);

inline constexpr const char* kMensajeFechaInicio =
    "Fecha de Inicio invalida, verifique por favor.....";
inline constexpr const char* kMensajeFechaFin = "Fecha de Fin invalida, verifique por favor.....";
inline constexpr const char* kMensajeOrdenFechas =
    "La Fecha Inicial no puede ser mayor a la Fecha Final....";
inline constexpr const char* kMensajeSinUnidades =
    "Debe seleccionar al menos una Unidad Médica de Egresos, verifique por favor.....";

// What "&Validar" found in the window.
struct WindowInput {
  std::string mskFechaIni = kEmptyDateBox;  // the date boxes' texts, prompts included
  std::string mskFechaFin = kEmptyDateBox;
  std::vector<Unit> checked;  // the checked units, in list order
};

// The control that gets the focus back with a refusal.
enum class Control { mskFechaIni, mskFechaFin, lstUnidades };

struct Refusal {
  std::string message;
  std::string title;  // empty: the application's title
  Control focus;
};

// What the checks accepted: the checked units and the filled date boxes' texts ("" for a box left
// empty).
struct AcceptedInput {
  std::vector<Unit> units;
  std::string periodStart, periodEnd;
};

// The checks of "&Validar" (the window's ValidaDatos): what they accepted, or the first refusal.
// `currentYear` is the last year ValidaFecha accepts.
std::variant<AcceptedInput, Refusal> checkInput(const WindowInput& input, DateMessages& messages,
                                                int currentYear);
std::variant<AcceptedInput, Refusal> checkInput(const WindowInput& input,
                                                DateMessages& messages);  // with this year

// The run the accepted input asks for on the session's source, catalogue and results folder.
RunRequest runRequest(const AcceptedInput& accepted, const Session& session);

}  // namespace kolt::run
