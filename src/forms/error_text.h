// How the windows put an error into words: "{number} - {description}" for the errors of the
// database layer, the form the error numbers in the guide are listed under.
#pragma once

#include <QString>
#include <exception>

namespace kolt::forms {

QString errorText(const std::exception& error);

}  // namespace kolt::forms
