#pragma once
// The download window's queue: its rows, which row the queue works on, and
// the texts it shows.  GUI-free; the window holds one queue and acts on its
// answers.
//
// Rows are handled one at a time in row order.  A row is waiting (empty
// status), then "正在下载", then "完成", "未完" or "失败".  A row fetched
// through the engine ends once both the engine's task-end report and the
// worker's own result are in: it is "完成" only when the engine reported 100
// and the worker wrote the whole file.
#include <QList>
#include <QMetaType>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>

inline const QString StatusDownloading = QStringLiteral("正在下载");
inline const QString StatusDone = QStringLiteral("完成");
inline const QString StatusIncomplete = QStringLiteral("未完");
inline const QString StatusFailed = QStringLiteral("失败");

// The question asked when every row has been handled.
inline const QString AllDownloadsDoneQuestion =
    QStringLiteral("全部下载任务都已处理完成。\n\r是否要打开文件目录?");
// The design text of the progress label.
inline const QString DownloadHintDesign = QStringLiteral("共  字节,已下载  字节");

// Why a row cannot be queued.
class DownloadRequestError : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
};

// "共" + F(total) + "字节,已下载" + F(total × percent ÷ 100) + "字节", F being
// the "#,##" format (thousands separators, empty text for zero).
QString DownloadProgressText(std::int32_t percent, std::int32_t totalBytes);

// The hint at completion: cut just before the first "已下载" and
// "已下载完成" appended; a hint without "已下载" is returned unchanged.
QString CompletedDownloadHint(const QString &hint);

// The task number in a local address: the text after the first "P2P/"
// without the address's last four characters, read as a 64-bit integer
// whose low 32 bits are the number.  None when the address has no "P2P/"
// or that text is not a decimal number.
std::optional<std::int32_t> TaskNumberOf(const QString &localAddress);

// DownloadDir + file name; empty text when the name is not a single safe
// file name (no "/", "\", "..", control characters).
QString DownloadTargetOf(const QString &fileName);

// CacheDir + id + the file name's extension (from its last dot); empty text
// when the id is not a content id.
QString CacheFileOf(const QString &id, const QString &fileName);

// What the worker reports when it ends.
struct TTransferResult {
  bool complete = false;      // the whole body is at the target path
  qint64 bytesWritten = 0;    // bytes of the body written
  qint64 announcedSize = -1;  // Content-Length, -1 when the server gave none
  QString error;              // why it did not complete
};
Q_DECLARE_METATYPE(TTransferResult)

// The status of a fetched row once the engine's report (`percent`) and the
// worker's result are both in.  `engineTotal` is the size the engine served
// (GetProgInfo's total; 0 or less when unknown).
QString FetchedRowStatus(int percent, const TTransferResult &worker, std::int64_t engineTotal);

struct TDownloadRow {
  QString fileName;
  QString status;
  QString id;
  QString address;
};

class TDownloadQueue {
public:
  QList<TDownloadRow> rows;
  int DownloadPos = 0;     // the row the queue works on
  bool WorkerIdle = true;  // no worker runs

  // Appends a waiting row and returns its index.  Throws
  // DownloadRequestError for a name that is not a single safe file name, an
  // id that is not a content id or an empty address.
  int add(const QString &fileName, const QString &id, const QString &address);

  enum class Step {
    Wait,    // the current row is being handled: nothing to do this tick
    Start,   // start the current row (DownloadPos)
    Finish,  // every row handled
  };
  Step nextStep() const;

  // The current row, or nullptr when the queue is past its last row.
  TDownloadRow *current();

  // The current row got its final status: the queue moves to the next row.
  void finishCurrent(const QString &status);

  // --- The fetch of the current row through the engine -----------------------
  // A fetch started: the engine's task and the report it waits for.
  void fetchStarted(std::int32_t taskNumber);
  bool fetching() const { return m_fetching; }
  std::int32_t taskNumber() const { return m_task; }
  bool hasReport() const { return m_percent.has_value(); }
  // The engine's task-end report, and the worker's end.  Each answers the
  // row's final status once both are in (the row is then finished), else
  // empty text.
  QString taskEnded(int percent, std::int64_t engineTotal);
  QString workerEnded(const TTransferResult &result);
  // The engine's percent of the finished fetch (valid in the call that
  // finished it).
  int lastPercent() const { return m_lastPercent; }

private:
  QString settle();

  bool m_fetching = false;
  std::int32_t m_task = 0;
  std::optional<int> m_percent;
  std::int64_t m_engineTotal = 0;
  std::optional<TTransferResult> m_worker;
  int m_lastPercent = 0;
};
