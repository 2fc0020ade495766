#pragma once
// The program's INI files: "[Section]" lines, then "key=value" lines, CR LF
// line ends, text in GBK.  Section and key names are matched without regard
// to case; names and values are trimmed of surrounding blanks; lines starting
// with ';' and lines that are neither a section nor a key are skipped.
//
// Only a byte-order mark switches the encoding: a file that starts with a
// UTF-8 or UTF-16 mark is read in that encoding, and values written into it
// keep it.  Any other file is GBK, also when its bytes would be valid UTF-8.
// Damaged lines never stop the reading: whatever can be read is read.
#include <QList>
#include <QString>

class IniFile {
public:
  // Reads the file (its name resolved without regard to case).  A missing
  // or unreadable file gives an empty IniFile with exists() false.
  static IniFile Load(const QString &path);

  bool exists() const { return exists_; }
  // The value of the first matching key of the first matching section, or
  // `defaultValue` when there is none.
  QString Value(const QString &section, const QString &key,
                const QString &defaultValue = QString()) const;
  bool Contains(const QString &section, const QString &key) const;

private:
  struct Entry {
    QString section, key, value;
  };
  const Entry *Find(const QString &section, const QString &key) const;
  QList<Entry> entries_;
  bool exists_ = false;
};

// One value; `defaultValue` when the file, section or key is missing.
QString ReadIniValue(const QString &path, const QString &section, const QString &key,
                     const QString &defaultValue = QString());

// Writes `value` under [section] key, keeping every other line, section and
// their order.  The key's line is replaced where it exists, otherwise added at
// the end of the section; a missing section is added at the end of the file.
// The file is replaced as a whole (temporary file beside it, then rename), so
// a failed write leaves the old file intact.
// Returns false, changing nothing, when the file does not exist (it is never
// created here), when the write fails, when a name is empty or holds '=', '['
// or a line break, when the value holds a line break, or when the value cannot
// be written in the file's encoding (a character GBK does not have, an
// unpaired surrogate in any encoding).
bool WriteIniValue(const QString &path, const QString &section, const QString &key,
                   const QString &value);
