// The error every operation of the database layer reports: a number and a description, as the
// user sees them in the run's error report ("{number} - {description}"), and the system's or the
// engine's own words for it (in English, naming the files it was working on), which only the
// run's log shows.
#pragma once

#include <stdexcept>
#include <string>

namespace kolt::base {

// Numbers of the errors the layer raises itself. Errors of the SQLite engine keep SQLite's
// (extended) result code as their number.
enum ErrorNumber : long {
  kErrSyntax = 3000,          // a statement text the dialect does not accept
  kErrTableExists = 3010,     // SELECT ... INTO or CREATE TABLE onto an existing table
  kErrNoSuchTable = 3011,     // Drop Table or a read of an absent table
  kErrNoSuchColumn = 3061,    // a name that is no column of the tables read
  kErrNotOpen = 3704,         // an operation on a closed connection
  kErrWorkbook = 3274,        // the workbook could not be written or read back
  kErrFile = 3044,            // a database file that cannot be opened or made
  kErrNotAccessFile = 3343,   // a file that is not an Access database, or is damaged
  kErrAccessPassword = 3031,  // an Access file protected by a database password
  kErrDiskFull = 3026,        // a file could not be written: no room left (or a file-size limit)
  kErrInUse = 3045,           // the results folder is held by another run
};

class Error : public std::runtime_error {
 public:
  Error(long number, std::string description, std::string detail = {})
      : std::runtime_error(std::to_string(number) + " - " + description),
        number_(number),
        description_(std::move(description)),
        detail_(std::move(detail)) {}

  long number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& detail() const { return detail_; }

 private:
  long number_;
  std::string description_;
  std::string detail_;
};

}  // namespace kolt::base
