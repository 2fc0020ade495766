// The answer to a Range header: one table of headers against body sizes.
#include <gtest/gtest.h>

#include <http/byterange.h>

namespace {

using kestrova::http::ByteRange;
using kestrova::http::ParseByteRange;
using Kind = ByteRange::Kind;

TEST(ByteRange, AnswersEveryKindOfHeader)
{
  struct Case {
    const char *header;
    std::uint64_t size;
    Kind kind;
    std::uint64_t first, length;
    const char *contentRange;
  } cases[] = {
      {"", 100, Kind::Whole, 0, 0, ""},
      {"bytes=0-9", 100, Kind::Part, 0, 10, "bytes 0-9/100"},
      {"bytes=10-", 100, Kind::Part, 10, 90, "bytes 10-99/100"},
      {"bytes=-10", 100, Kind::Part, 90, 10, "bytes 90-99/100"},
      {"bytes=-1000", 100, Kind::Part, 0, 100, "bytes 0-99/100"},
      {"bytes=99-99", 100, Kind::Part, 99, 1, "bytes 99-99/100"},
      {"bytes=50-5000", 100, Kind::Part, 50, 50, "bytes 50-99/100"},
      {"bytes=0-99999999999999999999999", 100, Kind::Part, 0, 100, "bytes 0-99/100"},
      {"Bytes = 0-0", 100, Kind::Part, 0, 1, "bytes 0-0/100"},
      {"bytes= 0-0 ,", 100, Kind::Part, 0, 1, "bytes 0-0/100"},
      // Several ranges: the whole body.
      {"bytes=0-1,5-9", 100, Kind::Whole, 0, 0, ""},
      {"bytes=500-600, 0-1", 100, Kind::Whole, 0, 0, ""},
      // Not a byte range: ignored.
      {"items=0-5", 100, Kind::Whole, 0, 0, ""},
      {"bytes", 100, Kind::Whole, 0, 0, ""},
      // Unsatisfiable.
      {"bytes=5-2", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=0-1,5-2", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=100-", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=100-200", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=99999999999999999999999-", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=-0", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=0-", 0, Kind::Unsatisfiable, 0, 0, "bytes */0"},
      {"bytes=-5", 0, Kind::Unsatisfiable, 0, 0, "bytes */0"},
      {"bytes=", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=-", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=abc", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=1-2-3", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=--5", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=+1-5", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
      {"bytes=0-1,x", 100, Kind::Unsatisfiable, 0, 0, "bytes */100"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string("\"") + c.header + "\" of " + std::to_string(c.size));
    const ByteRange r = ParseByteRange(c.header, c.size);
    EXPECT_EQ(r.kind, c.kind);
    if (c.kind == Kind::Part) {
      EXPECT_EQ(r.first, c.first);
      EXPECT_EQ(r.length, c.length);
    }
    EXPECT_EQ(r.contentRange(c.size), c.contentRange);
  }
}

TEST(ByteRange, PartsOfTheLargestBodiesStayInside)
{
  const std::uint64_t huge = 18446744073709551615ull;  // 2^64 - 1
  const ByteRange last = ParseByteRange("bytes=-1", huge);
  EXPECT_EQ(last.kind, Kind::Part);
  EXPECT_EQ(last.first, huge - 1);
  EXPECT_EQ(last.length, 1u);
  const ByteRange tail = ParseByteRange("bytes=10-", huge);
  EXPECT_EQ(tail.length, huge - 10);
  EXPECT_EQ(tail.contentRange(huge), "bytes 10-18446744073709551614/18446744073709551615");
}

}  // namespace
