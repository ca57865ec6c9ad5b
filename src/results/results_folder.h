// The results folder of a run, and the files a run makes in it.
//
// One run at a time per folder: a run holds a lock on "Validacion.lock" from start to end, and a
// second run on the same folder is refused before it touches anything. The lock is the operating
// system's, so it goes with the process that held it: a run that was killed leaves no lock behind.
//
// What a run makes while it works (the units' working databases, the workbooks being filled) lives
// in the folder "Validacion.tmp" inside the results folder, and only there. A workbook reaches its
// own name in the results folder by one rename once its last sheet is written, so a workbook seen
// under its name is always whole. Because the folder holds nothing else, the clean-up at the start
// of a run can empty it without ever touching a file the run did not make: workbooks of earlier
// runs, the log, companion databases or anything the user keeps there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/platform/file_lock.h"

namespace kolt::results {

// A unit code as it may stand in a file name on Windows and Linux: each character a file name
// cannot hold (/ \ : * ? " < > |, control characters), a leading dot, a trailing dot or blank, and
// the escape character % itself become "%" and two hex digits. Different codes stay different.
std::string fileNamePart(std::string_view unitCode);

class ResultsFolder {
 public:
  // Makes the folder when needed, takes its lock and empties the work folder of what an
  // interrupted run left. Throws base::Error: base::kErrInUse when another run holds the folder
  // (nothing is touched then), base::kErrFile when the folder cannot be made or locked.
  explicit ResultsFolder(std::filesystem::path folder);
  // Removes the work folder when empty and releases the lock.
  ~ResultsFolder();
  ResultsFolder(const ResultsFolder&) = delete;
  ResultsFolder& operator=(const ResultsFolder&) = delete;

  const std::filesystem::path& folder() const { return folder_; }

  // "Val{unit}.db" in the work folder.
  std::filesystem::path workingDatabase(std::string_view unitCode) const;
  // "Val{unit}.xls" in the results folder.
  std::filesystem::path unitWorkbook(std::string_view unitCode) const;
  // "ResultadosVal.xls" in the results folder.
  std::filesystem::path summaryWorkbook() const;
  // Where the workbook `published` is written until it is whole: the work folder.
  std::filesystem::path draftOf(const std::filesystem::path& published) const;

  // Puts the finished draft of `published` in its place, replacing an older one in one step.
  // Throws base::Error (base::kErrDiskFull or base::kErrFile); the draft is removed either way.
  void publish(const std::filesystem::path& published) const;
  // Removes `published` and its draft. Throws base::Error (base::kErrFile) when `published` stays.
  void discard(const std::filesystem::path& published) const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path work_;
  platform::ExclusiveLock lock_;
};

}  // namespace kolt::results
