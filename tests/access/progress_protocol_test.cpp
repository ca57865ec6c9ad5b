// The child's report lines: every name survives the trip, and nothing else passes for a report.
#include "access/progress_protocol.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kolt::access {
namespace {

auto fields(const ProgressEvent& e) {
  return std::tuple(static_cast<int>(e.kind), e.text, e.index, e.count, e.total, e.detail);
}

TEST(ProgressProtocol, EventsSurviveTheTripWhateverTheName) {
  const std::string awkward = "Asset Items\twith\ttabs\\ and\nnewline Umsätze";
  for (const ProgressEvent& sent : std::vector<ProgressEvent>{
           {ProgressEvent::Kind::Start, "ACE17", 0, 4, 123456789012},
           {ProgressEvent::Kind::Table, awkward, 3, 2155, 0},
           {ProgressEvent::Kind::Rows, {}, 3, 1024, 0},
           {ProgressEvent::Kind::Image, std::string("SQLite\0\xff\n\t\\\x80", 12), 0, 0, 0},
           {ProgressEvent::Kind::Image, {}, 0, 0, 0},
           {ProgressEvent::Kind::End, {}, 0, 4032, 0},
           {ProgressEvent::Kind::Error, "El archivo C:\\datos\\x.mdb\nestá dañado", 3343, 0, 0},
           {ProgressEvent::Kind::Error, "Sin espacio", 61, 0, 0, "write:\tNo space\\left"}}) {
    const std::string line = encodeEvent(sent);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto received = decodeEvent(line);
    ASSERT_TRUE(received) << line;
    EXPECT_EQ(fields(*received), fields(sent)) << line;
  }
}

TEST(ProgressProtocol, AnythingElseIsRejected) {
  for (const char* line :
       {"", "fin", "fin\t", "fin\t12x", "fin\t1\t2", "filas\t1", "tabla\t1\t2", "error\tx\tmensaje",
        "inicio\tJET4\t1", "tabla\t1\t2\tmal\\q", "tabla\t1\t2\tfinal\\", "hecho\t1",
        "AddressSanitizer: SEGV", "imagen\tabc", "imagen\t0G", "imagen\t0A", "imagen"}) {
    EXPECT_FALSE(decodeEvent(line)) << line;
  }
}

}  // namespace
}  // namespace kolt::access
