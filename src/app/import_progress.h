// What the work dialog says while a source is opened: the Access file's tables as they are
// imported, which on a large file takes minutes.
#pragma once

#include <QString>

#include "access/import.h"
#include "forms/work_dialog.h"

namespace kolt::app {

// Posts `progress` of importing `file` to `dialog`; callable from the import's thread.
void showImportProgress(forms::WorkDialog& dialog, const QString& file,
                        const access::ImportProgress& progress);

}  // namespace kolt::app
