// Fuzz target: any bytes in the favorites file read without a crash or a
// hang; a document is either read (every favorite with an id) or reported
// damaged with a message and nothing read, and what the writer makes of the
// favorites reads back unchanged (characters XML cannot carry as spaces).
#include "fuzzsupport.h"
#include "lists/core/favoritesfile.h"

#include <cstdint>

namespace {

// What the writer promises to keep of a text.
QString Carried(const QString &text)
{
  QString s = text;
  for (qsizetype i = 0; i < s.size(); ++i) {
    const QChar c = s.at(i);
    if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
      s[i] = u' ';
    else if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
      ++i;
    else if (c.isSurrogate())
      s[i] = u' ';
  }
  return s;
}

void CheckWellFormed(const FavoritesRead &read)
{
  FUZZ_CHECK(read.status == FavoritesRead::Loaded || read.status == FavoritesRead::Malformed);
  if (read.status == FavoritesRead::Malformed) {
    FUZZ_CHECK(read.items.empty());
    FUZZ_CHECK(!read.error.isEmpty());
  }
  for (const TKsvPlayPtr &item : read.items) {
    FUZZ_CHECK(item != nullptr);
    FUZZ_CHECK(!item->id.isEmpty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const FavoritesRead read = ParseFavoritesXml(bytes);
  CheckWellFormed(read);

  const FavoritesRead again = ParseFavoritesXml(FormatFavoritesXml(read.items));
  FUZZ_CHECK(again.status == FavoritesRead::Loaded);
  FUZZ_CHECK(again.items.size() == read.items.size());
  for (std::size_t i = 0; i < read.items.size(); ++i) {
    const TKsvPlay &a = *read.items[i];
    const TKsvPlay &b = *again.items[i];
    FUZZ_CHECK(Carried(a.id) == b.id);
    FUZZ_CHECK(Carried(a.name) == b.name);
    FUZZ_CHECK(Carried(a.pid) == b.pid);
    FUZZ_CHECK(Carried(a.type) == b.type);
  }
  return 0;
}
