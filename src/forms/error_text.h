// How the windows put an error into words: "{number} - {description}" for the errors of the
// database layer, the form the error numbers in the guide are listed under. Advice the windows give
// no way to follow is replaced by what their user can do.
#pragma once

#include <QString>
#include <exception>
#include <string>

namespace kolt::forms {

QString errorText(const std::exception& error);
// "{number} - {description}", as a run's error report is shown.
QString errorText(long number, const std::string& description);

}  // namespace kolt::forms
