// The input checks of "&Validar", in the order the users know them: a bad start date is reported
// before a bad end date, both before dates out of order, all of them before a missing unit.
// Free of any window so that the checks can be read, and reused, on their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/context.h"
#include "run/date_utilities.h"
#include "run/run_request.h"

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
struct Request {
  std::string mskFechaIni = kEmptyDateBox;  // the date boxes' texts, prompts included
  std::string mskFechaFin = kEmptyDateBox;
  std::vector<std::string> checked;  // the checked list entries, in list order
};

// The control that gets the focus back with a refusal.
enum class Control { mskFechaIni, mskFechaFin, lstUnidades };

struct Refusal {
  std::string message;
  std::string title;  // empty: the application's title
  Control focus;
};

// Nothing when the request may run: ctx.gaUnidades then holds the checked entries, and
// ctx.gcFechaIni / ctx.gcFechaFin the filled date boxes' texts. A filled box's text is stored as
// soon as it passed its own check, even when a later check refuses the request. `currentYear` is
// the last year ValidaFecha accepts.
std::optional<Refusal> ValidaDatos(const Request& request, Context& ctx, DateMessages& messages,
                                   int currentYear);
std::optional<Refusal> ValidaDatos(const Request& request, Context& ctx,
                                   DateMessages& messages);  // with this year

// The run a request that ValidaDatos accepted asks for: the session's source, catalogue and
// results folder, the checked units, the dates of the filled boxes.
RunRequest runRequest(const Request& request, const Context& ctx);

}  // namespace kolt::run
