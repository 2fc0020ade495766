// The answer to a Range request header for a body of known size, shared by
// the loopback HTTP servers.  Header-only, standard C++ only.
//
//   const kestrova::http::ByteRange r = kestrova::http::ParseByteRange(rangeHeader, size);
//   Whole:          200, the whole body (no Range, a unit other than bytes, or
//                   several ranges: those are not worth a multipart answer)
//   Part:           206, bytes [first, first + length), Content-Range: r.contentRange(size)
//   Unsatisfiable:  416, Content-Range: r.contentRange(size) ("bytes */size"), no body
//
// Unsatisfiable: a "bytes=" list with a malformed element or one whose last
// byte comes before its first (httplib refuses those too, before any handler
// runs), and a single range that starts at or beyond the end or asks for the
// last 0 bytes (every range of an empty body is).  A last byte beyond the end
// means the end.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace kestrova::http {

struct ByteRange {
  enum class Kind { Whole, Part, Unsatisfiable };
  Kind kind = Kind::Whole;
  std::uint64_t first = 0;   // Part: the first byte
  std::uint64_t length = 0;  // Part: how many bytes, at least 1

  // "bytes FIRST-LAST/SIZE" for a part, "bytes */SIZE" for an unsatisfiable
  // range, "" for the whole body.
  std::string contentRange(std::uint64_t size) const
  {
    switch (kind) {
    case Kind::Part:
      return "bytes " + std::to_string(first) + "-" + std::to_string(first + length - 1) + "/" +
             std::to_string(size);
    case Kind::Unsatisfiable:
      return "bytes */" + std::to_string(size);
    case Kind::Whole:
      break;
    }
    return {};
  }
};

namespace byterange_detail {

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

inline std::string_view Trim(std::string_view s)
{
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

// Decimal digits only; values too large for 64 bits become the largest one
// (a position that far lies beyond every body anyway).
inline bool ParseNumber(std::string_view s, std::uint64_t &value)
{
  if (s.empty())
    return false;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  value = 0;
  for (char c : s) {
    if (c < '0' || c > '9')
      return false;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return true;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z')
      x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z')
      y = static_cast<char>(y - 'A' + 'a');
    if (x != y)
      return false;
  }
  return true;
}

// One element of the list: "FIRST-LAST", "FIRST-" or "-SUFFIX".
struct Spec {
  bool hasFirst = false, hasLast = false;
  std::uint64_t first = 0, last = 0;
};

inline bool ParseSpec(std::string_view item, Spec &spec)
{
  const std::size_t dash = item.find('-');
  if (dash == std::string_view::npos)
    return false;
  const std::string_view firstText = item.substr(0, dash), lastText = item.substr(dash + 1);
  spec.hasFirst = !firstText.empty();
  spec.hasLast = !lastText.empty();
  if (!spec.hasFirst && !spec.hasLast)
    return false;
  return (!spec.hasFirst || ParseNumber(firstText, spec.first)) &&
         (!spec.hasLast || ParseNumber(lastText, spec.last));
}

}  // namespace byterange_detail

// `header` is the Range header's value ("" when there is none).
inline ByteRange ParseByteRange(std::string_view header, std::uint64_t size)
{
  using namespace byterange_detail;
  ByteRange whole, bad, part;
  bad.kind = ByteRange::Kind::Unsatisfiable;
  part.kind = ByteRange::Kind::Part;

  header = Trim(header);
  if (header.empty())
    return whole;
  const std::size_t eq = header.find('=');
  if (eq == std::string_view::npos)
    return whole;  // no unit: not a byte range at all
  if (!EqualsNoCase(Trim(header.substr(0, eq)), "bytes"))
    return whole;  // a unit we do not serve

  // The list: at least one well-formed element; empty elements are ignored.
  std::string_view list = header.substr(eq + 1);
  Spec spec;
  int count = 0;
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = Trim(list.substr(0, comma));
    if (!item.empty()) {
      if (!ParseSpec(item, spec) || (spec.hasFirst && spec.hasLast && spec.last < spec.first))
        return bad;
      ++count;
    }
    if (comma == std::string_view::npos)
      break;
    list.remove_prefix(comma + 1);
  }
  if (count == 0)
    return bad;
  if (count > 1)
    return whole;

  if (!spec.hasFirst) {  // the last `last` bytes
    if (spec.last == 0 || size == 0)
      return bad;
    part.length = spec.last < size ? spec.last : size;
    part.first = size - part.length;
    return part;
  }
  if (spec.first >= size)
    return bad;
  const std::uint64_t last = spec.hasLast && spec.last < size - 1 ? spec.last : size - 1;
  part.first = spec.first;
  part.length = last - spec.first + 1;
  return part;
}

}  // namespace kestrova::http
