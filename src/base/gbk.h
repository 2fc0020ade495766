#pragma once
// The one place where text crosses between the program's UTF-8/QString world
// and the GBK (code page 936) bytes of its INI files, list files, search
// page and cipher input.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// UTF-16 -> GBK bytes.  A character GBK cannot hold becomes '?'.
QByteArray ToGbk(const QString &text);
// GBK bytes -> UTF-16.  Bytes that are not valid GBK become U+FFFD, one per
// bad byte; decoding never fails and never drops the rest of the text.
QString FromGbk(QByteArrayView bytes);
