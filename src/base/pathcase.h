#pragma once
// Several of the program's file and folder names are matched without regard
// to case (Resource/Xml and Resource/xml, Dat and dat, 100093.XML and
// 100093.xml).  On a case-sensitive file system these helpers find the entry
// that exists, whatever its spelling; a name that does not exist keeps the
// spelling it was given, which is the canonical one:
//   Config/   Resource/Dat/   Resource/xml/   Resource/html/search/
#include <QString>

// `path` with every existing component replaced by the entry on disk that
// matches it without regard to case (an exact match wins).  Components from
// the first one that does not exist on are kept as given.
QString ResolveCase(const QString &path);
