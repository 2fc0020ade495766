#pragma once
// A portable program folder is the program's AppDir: the client writes its
// settings, lists, cache and downloads beside itself.  An installed program's
// folder belongs to the system and is not the user's to write, so each user
// gets a folder of their own that mirrors it: the read-only parts
// (executables, libraries, the Flash runtime, configuration the client only
// reads, pages and pictures) are links to the installed files, the parts the
// client writes are copies or real folders.  Every path keeps its place
// relative to AppDir, so nothing else in the program knows the difference.
//
// The folder is brought up to date at every start: what a newer installation
// adds is added, links to files the installation no longer has are removed,
// and nothing the user has is ever overwritten.
#include <QString>
#include <QStringList>

// The file that marks a program folder as installed by the package: such a
// folder is shared even for a user who could write it (root).  It is never
// mirrored.
inline const QString InstalledMarkerName = QStringLiteral(".installed");

// The folder of the running executable (links followed), ending with '/'.
QString ProgramFolder();

// $XDG_DATA_HOME when it holds an absolute path, else ~/.local/share; no
// trailing '/'.
QString UserDataHome();

// An installed program's per-user AppDir: UserDataHome() + "/kestrova/".
QString UserAppDirLocation();

// True when the program folder is not the user's own: not writable by this
// user, or marked as installed.
bool IsSharedInstallation(const QString &programDir);

// What the per-user folder holds for one entry of the program folder.
enum class UserPart {
  Link,          // a link to the installed file
  LinkedFolder,  // one link for the whole folder (nothing of it is written)
  Folder,        // a real folder whose entries are decided one by one
  Copy,          // a copy the client may change
  Skip,          // not mirrored
};

// The part for `relativePath` (below the program folder, '/' separated,
// matched without regard to case).
UserPart UserPartOf(const QString &relativePath, bool isFolder);

struct UserAppDirResult {
  QString error;        // empty when the folder is complete
  QStringList added;    // relative paths linked, copied or made this time
  QStringList removed;  // links whose installed file is gone
  bool ok() const { return error.isEmpty(); }
};

// Makes or completes `userDir` from `programDir` (both folders, with or
// without a trailing '/').  Existing entries are left as they are, found
// whatever the case of their names; only links into `programDir` whose
// target has gone are removed.
UserAppDirResult PrepareUserAppDir(const QString &programDir, const QString &userDir);

// The AppDir for this user: `programDir` itself for a portable folder; the
// prepared `userDir` for a shared installation.  When `userDir` cannot be
// made, `programDir` and the message for the user in `*problem`.
QString ChooseAppDir(const QString &programDir, const QString &userDir, QString *problem);

// The message of a per-user folder that could not be made.
QString UserAppDirProblemMessage(const QString &userDir, const QString &detail);
