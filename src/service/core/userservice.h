#pragma once
// The user web service as the client sees it: the four calls it makes, their
// results, and the error every failure of a call raises (transport, HTTP
// status, SOAP fault, an answer that cannot be read).  The SOAP proxy
// implements it; tests give their own.
#include <QString>
#include <stdexcept>
#include <string>

// Result of a sign-in (userLogin).  Only curResult, userId, curLevel and
// usesValue are read by the client; curResult 1 = accepted.
struct KsvUserCurPoint {
  int curLevel = 0;
  int curResult = 0;
  int exHaltValue = 0;
  int getExpValue = 0;
  int getPointValue = 0;
  int lastVersionID = 0;
  QString remark;
  QString upVersionID;
  int userId = 0;
  int usesValue = 0;
  int versionFlag = 0;
};

// Result of the update request (clientByVersion).  Only curResult,
// versionFlag, lastVersionID and upVersionID are read; curResult 1 = valid.
struct TChnlVersioninfo {
  int buildNum = 0;
  int curResult = 0;
  int id = 0;
  int lastVersionID = 0;
  QString servercrc;
  QString streamcrc;
  QString upVersionID;
  QString updateVer;
  int updateflag = 0;
  QString version;
  int versionFlag = 0;
};

// Any failure of a call.  what() is a short English diagnosis; callers that
// show something to the user show their own Chinese text.
class UserServiceError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class IUserService {
public:
  virtual ~IUserService() = default;
  // in0 the user name unchanged, in1 Md5Hex of the password; the two
  // credentials last.
  virtual KsvUserCurPoint userLogin(const QString &userName, const QString &passwordMd5) = 0;
  // in0 the client version text (four numbers joined by dots), in1 the
  // service number; the two credentials last.
  virtual TChnlVersioninfo clientByVersion(const QString &versionText, int serviceNumber) = 0;
  // The two credentials first; in2 the user's number (0 when nobody is
  // signed in), in3 the version text as shown in the main window, in4 the
  // contact (may be empty), in5 the subject tags followed by the
  // description.  Returns the service's int (1 = stored).
  virtual int saveUserAdvice(int userId, const QString &versionText, const QString &contact,
                             const QString &text) = 0;
  // The two credentials first; in2 "07", in3 the search words, in4 and in5
  // empty.  Returns the "out" text unchanged (a page path, empty when
  // nothing was found).
  virtual QString getSearchCntsClz(const QString &words) = 0;
};
