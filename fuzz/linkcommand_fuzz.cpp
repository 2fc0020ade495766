// Fuzz target: any address a page can hold goes through the link-command
// reader without a crash or a hang, and what it accepts keeps its promises
// (ids are content ids, download names stay inside their folder).
#include "base/globals.h"
#include "catalog/core/linkcommand.h"
#include "player/core/ksvplay.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

namespace {

class FuzzList : public ILinkPlayList {
public:
  QString Find(const QString &id) const override { return QString::number(ids.indexOf(id)); }
  bool Append(const TKsvPlayPtr &r) override
  {
    ids << r->id;
    return true;
  }
  int Count() const override { return int(ids.size()); }
  QStringList ids{QStringLiteral("1"), QStringLiteral("100")};
};

void Check(bool ok)
{
  if (!ok)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  static const bool once = [] {
    DownloadServerUrl = QStringLiteral("http://127.0.0.1:9/files/");
    return true;
  }();
  (void)once;
  const QString raw = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
  const QString address = DecodeNonAsciiEscapes(raw);
  (void)SplitDelimited(address, u'_');
  const LinkKind kind = ClassifyLink(address);
  if (kind == LinkKind::FullList || kind == LinkKind::ChannelList) {
    const auto records =
        ParseListCommand(kind, address, QStringLiteral("0701"), QStringLiteral("1"));
    for (const auto &r : records)
      Check(!r || IsContentId(r->id));
    for (const char *mode : {"0", "1"}) {
      FuzzList list;
      const auto out = RunListCommand(kind, records, QString::fromLatin1(mode), list);
      Check(out.playPosition < list.Count());
      Check(list.ids.size() == 2 + out.appended);
    }
  }
  if (const auto r = ParseDownloadCommand(address)) {
    Check(IsContentId(r->id));
    Check(IsSafeFileName(DownloadFileName(*r)));
    Check(!r->address.isEmpty());
  }
  return 0;
}
