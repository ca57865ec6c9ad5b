#include "base/date_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kolt::base {
namespace {

TEST(DateText, CanonicalTextRoundTripsAndRejectsNearMisses) {
  for (const char* text : {"2013-03-05 00:00:00", "0632-01-01 23:59:59", "9999-12-31 12:00:00",
                           "2021-06-14 22:45:12.3456789", "2012-02-29 00:00:00",
                           "0001-01-01 00:00:00.0000001", "2021-06-14 22:45:12.0500000"}) {
    auto parsed = parseCanonical(text);
    ASSERT_TRUE(parsed) << text;
    EXPECT_EQ(formatCanonical(*parsed), text);
  }
  EXPECT_EQ(parseCanonical("2021-06-14 22:45:12.5")->fraction100ns, 5000000);
  // A field too wide for its place widens the text rather than lose digits.
  EXPECT_EQ(formatCanonical({.year = 10000, .month = 1, .day = 2, .hour = 3}),
            "10000-01-02 03:00:00");
  for (const char* text : {"", "2013-03-05", "05/03/2013", "2013-02-29 00:00:00",
                           "2013-13-01 00:00:00", "2013-03-05 24:00:00", "2013-03-05 00:00:00.",
                           "2013-03-05T00:00:00", "2013-03-05 00:00:00.12345678"})
    EXPECT_FALSE(parseCanonical(text)) << text;
}

TEST(DateText, SerialFollowsAccessRuleOnBothSidesOfTheEpoch) {
  auto at = [](double serial) { return formatCanonical(*fromSerial(serial)); };
  EXPECT_EQ(at(0), "1899-12-30 00:00:00");
  EXPECT_EQ(at(41338.5), "2013-03-05 12:00:00");
  // Before the epoch the days count backwards but the time of day still runs forwards.
  EXPECT_EQ(at(-1.25), "1899-12-29 06:00:00");
  EXPECT_EQ(at(-1.1), "1899-12-29 02:24:00");
  // Within half a second of midnight rounds into the next day, not to hour 24.
  EXPECT_EQ(at(41338.0 + 86399.6 / 86400.0), "2013-03-06 00:00:00");
  EXPECT_EQ(at(-1.0 - 86399.6 / 86400.0), "1899-12-30 00:00:00");
  for (double serial : {1e7, std::nan("")}) EXPECT_FALSE(fromSerial(serial)) << serial;

  for (const char* text : {"1899-12-29 06:00:00", "1582-10-14 00:00:00", "0100-06-14 12:45:00",
                           "4374-01-01 08:00:00", "2013-03-05 12:00:00"})
    EXPECT_EQ(formatCanonical(*fromSerial(toSerial(*parseCanonical(text)))), text);
  EXPECT_DOUBLE_EQ(toSerial(*parseCanonical("1899-12-29 06:00:00")), -1.25);
}

TEST(DateText, DeclaredTypesAreRecognisedWithoutRegardToCase) {
  for (const char* type : {"DATETIME", "datetime"}) EXPECT_TRUE(isDateType(type)) << type;
  EXPECT_FALSE(isDateType("TEXT"));
  EXPECT_TRUE(isBooleanType("Boolean"));
  EXPECT_FALSE(isBooleanType("INTEGER"));
}

}  // namespace
}  // namespace kolt::base
