#include "base/gbk.h"
#include <QList>

#include <cerrno>
#include <iconv.h>

namespace {

// Runs iconv over the whole input.  On a byte sequence the target cannot take
// (or the source does not hold) it emits `replacement` and skips `skip` input
// bytes, so a damaged text still converts as far as it goes.
QByteArray Convert(const char *to, const char *from, QByteArrayView in, QByteArrayView replacement,
                   size_t skip)
{
  QByteArray out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1))
    return out;
  out.reserve(in.size() * 2 + 16);
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = static_cast<size_t>(in.size());
  char buf[4096];
  while (srcLeft > 0) {
    char *dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, static_cast<qsizetype>(dst - buf));
    if (r != static_cast<size_t>(-1))
      break;
    if (errno == E2BIG)
      continue;
    // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
    out.append(replacement.data(), replacement.size());
    size_t n = skip < srcLeft ? skip : srcLeft;
    src += n;
    srcLeft -= n;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  char *dst = buf;
  size_t dstLeft = sizeof buf;
  iconv(cd, nullptr, nullptr, &dst, &dstLeft);
  out.append(buf, static_cast<qsizetype>(dst - buf));
  iconv_close(cd);
  return out;
}

}  // namespace

QByteArray ToGbk(const QString &text)
{
  // UTF-32 input lets a character that GBK lacks be skipped as one unit.
  QByteArray utf32;
  utf32.reserve(text.size() * 4);
  for (char32_t c : text.toUcs4()) {
    utf32.append(static_cast<char>(c & 0xff));
    utf32.append(static_cast<char>((c >> 8) & 0xff));
    utf32.append(static_cast<char>((c >> 16) & 0xff));
    utf32.append(static_cast<char>((c >> 24) & 0xff));
  }
  return Convert("GBK", "UTF-32LE", utf32, "?", 4);
}

QString FromGbk(QByteArrayView bytes)
{
  return QString::fromUtf8(Convert("UTF-8", "GBK", bytes, "\xEF\xBF\xBD", 1));
}
