#include "app/import_progress.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace kolt::app {
namespace {

// The version of Access that writes the file, as its users know it, instead of the engine's code.
QString accessVersion(const std::string& format) {
  static constexpr std::pair<const char*, const char*> kVersions[] = {
      {"JET3", "Access 97"},    {"JET4", "Access 2000-2003"}, {"ACE12", "Access 2007"},
      {"ACE14", "Access 2010"}, {"ACE15", "Access 2013"},     {"ACE16", "Access 2016"},
      {"ACE17", "Access 2019"}};
  for (const auto& [code, version] : kVersions)
    if (format == code) return version;
  return "Access";
}

}  // namespace

void showImportProgress(forms::WorkDialog& dialog, const QString& file,
                        const access::ImportProgress& progress) {
  if (!progress.waiting.empty()) {
    dialog.report(QString::fromStdString(progress.waiting), QString(), 0, 0);
    return;
  }
  const QString first = QString("Importando %1 (%2)").arg(file, accessVersion(progress.format));
  QString second;
  if (progress.finished)
    second = "Importación terminada";
  else if (progress.tableIndex > 0)
    second = QString("Tabla %1 de %2: %3, %4 registros")
                 .arg(progress.tableIndex)
                 .arg(progress.tableCount)
                 .arg(QString::fromStdString(progress.table))
                 .arg(progress.tableRows);
  // The bar counts rows; a file whose definitions record no row counts gets a bar without end.
  const std::int64_t expected = std::max<std::int64_t>(progress.rowsExpected, 0);
  const std::int64_t scale = expected / std::numeric_limits<int>::max() + 1;
  const int maximum = static_cast<int>(expected / scale);
  const int value = static_cast<int>(std::min(progress.rows, expected) / scale);
  dialog.report(first, second, value, maximum);
}

}  // namespace kolt::app
