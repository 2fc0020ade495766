// Fuzz target: any bytes in the catalog file read without a crash or a hang;
// both readers agree on whether the file can be read, every record they give
// matches what was asked for, the two readers find each other's records, and
// the addresses made from the records keep their shape.
#include "base/globals.h"
#include "catalog/core/catalog.h"
#include "fuzzsupport.h"

#include <cstdint>

namespace {

bool SameRecord(const CatalogChannel &a, const CatalogChannel &b)
{
  return a.record.id == b.record.id && a.record.pid == b.record.pid &&
         a.record.name == b.record.name && a.record.type == b.record.type && a.text == b.text;
}

void CheckChannel(const CatalogChannel &c)
{
  FUZZ_CHECK(c.record.linkIndex == -1);
  FUZZ_CHECK(c.text.startsWith(c.record.name + u'('));
  FUZZ_CHECK(c.text.endsWith(u')'));
  const QString address = ChannelPageAddress(c.record, 800);
  FUZZ_CHECK(address.startsWith(ResourceBaseUrl));
  FUZZ_CHECK(address.endsWith(QStringLiteral("/1.html")));
  FUZZ_CHECK(LinkChannelAddress(c.record, {}).isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static const bool once = [] {
    ResourceBaseUrl = QStringLiteral("http://127.0.0.1:9/");
    return true;
  }();
  (void)once;
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  const QString file = fuzz::ScratchFile(QStringLiteral("Channel.xml"), bytes);

  const auto recommended = ReadChannelsById(file, RecommendedChannelIds);
  for (const QString &code : {QStringLiteral("07"), QStringLiteral("0701"), QString()}) {
    const auto channels = ReadCategoryChannels(file, code);
    FUZZ_CHECK(channels.has_value() == recommended.has_value());
    if (!channels)
      continue;
    int lookups = 0;
    for (const CatalogChannel &c : *channels) {
      FUZZ_CHECK(c.record.pid == code);
      CheckChannel(c);
      // The same record, looked up by its id (a few: each lookup reads the
      // file anew).
      if (++lookups > 8)
        continue;
      const auto byId = ReadChannelsById(file, {c.record.id});
      FUZZ_CHECK(byId.has_value());
      bool found = false;
      for (const CatalogChannel &d : *byId) {
        FUZZ_CHECK(d.record.id == c.record.id);
        found = found || SameRecord(c, d);
      }
      FUZZ_CHECK(found);
    }
    std::vector<CatalogChannel> shown = *channels;
    RemoveEmptyChannels(shown);
    for (const CatalogChannel &c : shown)
      FUZZ_CHECK(!IsEmptyChannelText(c.text));
  }
  if (recommended) {
    for (const CatalogChannel &c : *recommended) {
      FUZZ_CHECK(RecommendedChannelIds.contains(c.record.id));
      CheckChannel(c);
    }
  }
  return 0;
}
