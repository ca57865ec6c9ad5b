#include "forms/error_text.h"

#include "base/error.h"

namespace kolt::forms {

QString errorText(const std::exception& error) {
  if (const auto* db = dynamic_cast<const base::Error*>(&error))
    return QString::number(db->number()) + " - " + QString::fromStdString(db->description());
  // Anything else is a fault of the program or the machine (memory, disk); the user still needs to
  // know the work did not happen.
  return QString::fromUtf8("Error inesperado: ") + QString::fromLocal8Bit(error.what());
}

}  // namespace kolt::forms
