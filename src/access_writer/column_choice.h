// Which Access column type an engine column becomes.
//
// The engine lets a column hold values of any kind whatever its declared type; an Access column
// holds one. So the choice looks at the values as well as the declared type: the declared type is
// kept when every value fits it (INTEGER as Long, DATETIME as Date/Time, TEXT as Text...), and
// otherwise the column widens to a type that holds every value exactly (Long to Double, anything
// holding texts to Text, Text to Memo past 255 characters). Dates are kept as dates only when
// every value is a canonical date without a fraction of a second, which a Date/Time holds exactly.
#pragma once

#include <cstdint>
#include <string>

#include "access_writer/table_definition.h"
#include "base/value.h"

namespace kolt::access_writer {

class ColumnSurvey {
 public:
  void see(const base::Value& value);
  // Throws base::Error when the column holds bytes, which this export does not write.
  JetColumn choose(const std::string& name, const std::string& declaredType) const;

 private:
  bool nulls_ = false, blobs_ = false, reals_ = false, texts_ = false;
  bool integers_ = false;
  std::int64_t min_ = 0, max_ = 0;
  bool currencyExact_ = true;    // every number has at most four decimals
  bool datesCanonical_ = true;   // every text is a canonical date without fraction
  std::size_t longestText_ = 0;  // in UTF-16 units, as Access counts characters
};

// The type a column of that declared type would get if all its values fit it.
ColumnType declaredColumnType(const std::string& declaredType);

}  // namespace kolt::access_writer
