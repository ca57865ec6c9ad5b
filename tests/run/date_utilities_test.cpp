#include "run/date_utilities.h"

#include <gtest/gtest.h>

#include <map>

#include "run/input_check.h"

namespace kolt::run {
namespace {

struct RecordedMessages : DateMessages {
  std::string shown;
  void beep() override { shown += "(pitido) "; }
  void message(const std::string& text, const std::string& title) override {
    shown += title + ": " + text;
  }
};

TEST(FechaSQL, ReadsDayFirstAndLeavesOtherTextsAlone) {
  for (const char* date : {"05/03/2013", "5/3/2013"}) EXPECT_EQ(FechaSQL(date), "#2013/03/05#");
  for (const char* other : {"", "__/__/____", "31/02/2013"}) EXPECT_EQ(FechaSQL(other), other);
}

// Each date with what the box does with it: "+" accepts it, "-" refuses it silently, "?" refuses
// it saying it is invalid, "!" saying it is after the current year (2026 here: every year up to the
// current one is accepted, not only up to 2020).
TEST(ValidaFecha, RefusesSilentlyOrAfterTheBeepAsTheBoxesAlwaysHave) {
  std::map<char, std::string> said = {
      {'?', "(pitido) Valida Fecha: Fecha invalida, verifique por favor....."},
      {'!', "(pitido) Valida Fecha: Fecha posterior al año en curso, verifique por favor....."}};
  for (const std::string c :
       {"29/02/2012 +", "31/12/1900 +", "15/06/2021 +", "01/01/2026 +", "01/01/2027 !",
        "15/06/1899 -", "31/04/2013 -", "15/13/2013 -", "1/06/2013 -", "29/02/2013 ?",
        "00/06/2013 ?", "1_/06/2013 ?", "12/__/____ ?"}) {
    RecordedMessages messages;
    const bool accepted = ValidaFecha(c.substr(0, c.size() - 2), messages, 2026);
    EXPECT_EQ(std::make_pair(accepted, messages.shown),
              std::make_pair(c.back() == '+', said[c.back()]))
        << c;
  }
}

TEST(DateBoxes, FilledMeansAnythingButTheEmptyMask) {
  for (const char* empty : {"__/__/____", " __/__/____ "}) EXPECT_FALSE(isFilled(empty)) << empty;
  for (const char* filled : {"12/__/____", "01/02/2013"}) EXPECT_TRUE(isFilled(filled)) << filled;
}

}  // namespace
}  // namespace kolt::run
