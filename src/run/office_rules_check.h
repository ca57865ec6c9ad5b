// The office's rules file of a run: where it is found, and its check against the tables of the
// session's own source and catalogue, before any unit runs.
#pragma once

#include <filesystem>
#include <vector>

#include "rules/office_rules.h"
#include "run/session.h"

namespace kolt::run {

// Where the rules file is looked for when none is named, in order: beside the executables, then
// in the user's data folder (as the catalogue is).
std::vector<std::filesystem::path> officeRulesCandidates(const std::filesystem::path& app);

// The first of officeRulesCandidates(app) that exists; empty when there is none.
std::filesystem::path officeRulesFile(const std::filesystem::path& app);

// Checks `file` (read by rules::readOfficeRules) against a database of the working database's
// tables with the columns that the session's source and catalogue give them, and returns its
// rules. Throws base::Error (base::kErrSyntax) naming every rule that fails, and nothing is run on
// the source or written anywhere.
rules::OfficeRules checkedOfficeRules(rules::OfficeRulesFile file, Session& session);

// The rules of the file the session's program uses (officeRulesFile), checked; none when there is
// no file. Throws as above, or base::kErrFile when the file cannot be read.
rules::OfficeRules sessionOfficeRules(Session& session);

}  // namespace kolt::run
