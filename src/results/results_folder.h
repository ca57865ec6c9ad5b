// The results folder of a run, and the files a run makes in it.
//
// One run at a time per folder: a run holds a lock on "Validacion.lock" from start to end, and a
// second run on the same folder is refused before it touches anything. The lock is the operating
// system's, so it goes with the process that held it: a run that was killed leaves no lock behind.
//
// What a run makes while it works (the units' working databases, the workbooks being filled, the
// workbooks already whole) lives in the folder "Validacion.tmp" inside the results folder, and
// only there, until the run puts its results in place at its end: the summaries describe the
// units' workbooks beside them only if every one of them is put there by the same run. A run killed
// before that point has changed no workbook; the few renames of that point run under the notice
// "VALIDACION SIN TERMINAR.txt", which the run writes on starting and removes once it has finished,
// so a folder cut off halfway says so, to the statistician who opens it and to the next run.
// Because the work folder holds nothing else, the clean-up at the start of a run can empty it
// without ever touching a file the run did not make: workbooks of earlier runs, the log, companion
// databases or anything the user keeps there.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "base/platform/file_lock.h"

namespace kolt::results {

// A unit code as it may stand in a file name on Windows and Linux: each character a file name
// cannot hold (/ \ : * ? " < > |, control characters), a leading dot, a trailing dot or blank, and
// the escape character % itself become "%" and two hex digits. Different codes stay different.
std::string fileNamePart(std::string_view unitCode);

// The notice of a run under way, left in the folder by a run that did not finish.
inline constexpr const char* kUnfinishedNotice = "VALIDACION SIN TERMINAR.txt";

class ResultsFolder {
 public:
  // Makes the folder when needed, takes its lock, reads the notice of a run that did not finish
  // and empties the work folder of what that run left. Throws base::Error: base::kErrInUse when
  // another run holds the folder (nothing is touched then), base::kErrFile when the folder cannot
  // be made or locked.
  explicit ResultsFolder(std::filesystem::path folder);
  // Drops what was never put in place, removes the work folder when empty and releases the lock.
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

  // The finished draft of `published` is kept, whole, to replace `published` when place() is
  // called. Throws base::Error (base::kErrDiskFull or base::kErrFile); the draft is removed either
  // way. Any thread may call it, and discard.
  void publish(const std::filesystem::path& published) const;
  // Removes the draft of `published` and what publish kept of it: place() then removes
  // `published`.
  void discard(const std::filesystem::path& published) const;
  // Puts in place what was last asked for `published`: the workbook publish kept, or no workbook
  // after discard; nothing when neither was asked. Throws base::Error (base::kErrFile, or
  // base::kErrDiskFull) when `published` is not as asked.
  void place(const std::filesystem::path& published) const;

  // The text of "VALIDACION SIN TERMINAR.txt" as the folder held it when it was taken: what a
  // run that did not finish said of itself. Empty when the last run finished.
  const std::string& unfinishedRun() const { return unfinished_; }
  // Writes `text` as "VALIDACION SIN TERMINAR.txt", replacing what it held. Throws base::Error.
  void markUnfinished(const std::string& text) const;
  // Removes "VALIDACION SIN TERMINAR.txt". Throws base::Error when it stays.
  void markFinished() const;

 private:
  // Where publish keeps the whole workbook of `published`.
  std::filesystem::path keptOf(const std::filesystem::path& published) const;

  std::filesystem::path folder_;
  std::filesystem::path work_;
  platform::ExclusiveLock lock_;
  std::string unfinished_;
  // What place() does for each published name: true puts the kept workbook there, false removes
  // it. Units publish from their own threads.
  mutable std::mutex pendingMutex_;
  mutable std::map<std::filesystem::path, bool> pending_;
};

}  // namespace kolt::results
