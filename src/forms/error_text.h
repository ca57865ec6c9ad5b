// How the windows put an error into words: "{number} - {description}" for the errors of the
// database layer, as the program has always reported them.
#pragma once

#include <QString>
#include <exception>

namespace kolt::forms {

QString errorText(const std::exception& error);

}  // namespace kolt::forms
