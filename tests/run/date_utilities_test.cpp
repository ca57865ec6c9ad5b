#include "run/date_utilities.h"

#include <gtest/gtest.h>

#include "run/input_check.h"

namespace kolt::run {
namespace {

struct RecordedMessages : DateMessages {
  int beeps = 0;
  std::vector<std::string> shown;
  void beep() override { ++beeps; }
  void message(const std::string& text, const std::string& title) override {
    shown.push_back(title + ": " + text);
  }
};

TEST(FechaSQL, ReadsDayFirstAndLeavesOtherTextsAlone) {
  EXPECT_EQ(FechaSQL("05/03/2013"), "#2013/03/05#");
  EXPECT_EQ(FechaSQL("5/3/2013"), "#2013/03/05#");
  EXPECT_EQ(FechaSQL(""), "");
  EXPECT_EQ(FechaSQL("__/__/____"), "__/__/____");
  EXPECT_EQ(FechaSQL("31/02/2013"), "31/02/2013");
}

TEST(ValidaFecha, RefusesSilentlyOrAfterTheBeepAsTheBoxesAlwaysHave) {
  struct Case {
    const char* text;
    bool accepted;
    bool speaks;
  };
  for (const Case& c : std::vector<Case>{
           {"29/02/2012", true, false},
           {"31/12/1900", true, false},
           // Every year up to the current one is accepted, not only up to 2020.
           {"15/06/2021", true, false},
           {"01/01/2026", true, false},
           {"01/01/2027", false, true},
           {"15/06/1899", false, false},
           {"31/04/2013", false, false},
           {"15/13/2013", false, false},
           {"1/06/2013", false, false},
           {"29/02/2013", false, true},
           {"00/06/2013", false, true},
           {"1_/06/2013", false, true},
           {"12/__/____", false, true},
       }) {
    RecordedMessages messages;
    EXPECT_EQ(ValidaFecha(c.text, messages, 2026), c.accepted) << c.text;
    EXPECT_EQ(messages.beeps, c.speaks ? 1 : 0) << c.text;
    EXPECT_EQ(messages.shown.size(), c.speaks ? 1u : 0u) << c.text;
  }
  RecordedMessages messages;
  ValidaFecha("29/02/2013", messages, 2026);
  EXPECT_EQ(messages.shown[0], "Valida Fecha: Fecha invalida, verifique por favor.....");
  ValidaFecha("01/01/2027", messages, 2026);
  EXPECT_EQ(messages.shown[1],
            "Valida Fecha: Fecha posterior al año en curso, verifique por favor.....");
}

TEST(DateBoxes, FilledMeansAnythingButTheEmptyMask) {
  EXPECT_FALSE(isFilled("__/__/____"));
  EXPECT_FALSE(isFilled(" __/__/____ "));
  EXPECT_TRUE(isFilled("12/__/____"));
  EXPECT_TRUE(isFilled("01/02/2013"));
}

}  // namespace
}  // namespace kolt::run
