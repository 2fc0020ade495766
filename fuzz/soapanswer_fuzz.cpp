// Fuzz target: any bytes as the user web service's answer are read without a
// crash or a hang and without any error but UserServiceError; an answer that
// is read has named fields or a text, never both, and its numeric fields are
// numbers or UserServiceError.  An answer envelope built around text from
// the input gives that text back.
#include "fuzzsupport.h"
#include "service/core/soapuserservice.h"

#include <QXmlStreamWriter>
#include <cstdint>

namespace {

void CheckAnswer(const SoapAnswer &a)
{
  FUZZ_CHECK(a.fields.isEmpty() || a.text.isEmpty());
  for (const SoapField &f : a.fields) {
    FUZZ_CHECK(!f.name.isEmpty());
    const QString t = a.field(f.name).trimmed();
    try {
      const int v = a.intField(f.name);
      FUZZ_CHECK(t.isEmpty() ? v == 0 : v == t.toInt());
    } catch (const UserServiceError &) {
      bool ok = false;
      (void)t.toInt(&ok);
      FUZZ_CHECK(!ok && !t.isEmpty());
    }
  }
}

// Text XML can carry as it is: no control characters but tab and line feed,
// no carriage return (line ends are normalised), no unpaired surrogates.
QString Carriable(const QString &text)
{
  QString s;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      s += c;
      s += text.at(++i);
    } else if (!c.isSurrogate() && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF &&
               (c.unicode() >= 0x20 || c == u'\t' || c == u'\n')) {
      s += c;
    }
  }
  return s;
}

QByteArray Envelope(const QString &simple, const QList<SoapField> &fields)
{
  const QString env = QLatin1String(SoapEnvelopeNamespace);
  const QString ns = QLatin1String(UserServiceNamespace);
  const QString tns = QLatin1String(UserServiceTypeNamespace);
  QByteArray out;
  QXmlStreamWriter w(&out);
  w.writeStartDocument();
  w.writeNamespace(env, QStringLiteral("soap"));
  w.writeStartElement(env, QStringLiteral("Envelope"));
  w.writeStartElement(env, QStringLiteral("Body"));
  w.writeStartElement(ns, QStringLiteral("userLoginResponse"));
  w.writeStartElement(ns, QStringLiteral("out"));
  if (fields.isEmpty())
    w.writeCharacters(simple);
  for (const SoapField &f : fields)
    w.writeTextElement(tns, f.name, f.text);
  w.writeEndDocument();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  try {
    CheckAnswer(ParseSoapAnswer(bytes));
  } catch (const UserServiceError &) {
  }

  // The input as the text of a simple answer and of a field.
  const QString text = Carriable(QString::fromUtf8(bytes));
  const SoapAnswer simple = ParseSoapAnswer(Envelope(text, {}));
  FUZZ_CHECK(simple.fields.isEmpty());
  FUZZ_CHECK(simple.text == text);
  const SoapAnswer complex = ParseSoapAnswer(Envelope(
      {}, {{QStringLiteral("remark"), text}, {QStringLiteral("userId"), QStringLiteral("7")}}));
  FUZZ_CHECK(complex.fields.size() == 2);
  FUZZ_CHECK(complex.field(QStringLiteral("remark")) == text);
  FUZZ_CHECK(complex.intField(QStringLiteral("userId")) == 7);
  return 0;
}
