// Loading one category of a 10,000-channel catalog into the channel tree,
// beside a bare parse of the same file with the same XML reader, in the same
// run.
//
//   kestrova-bench-catalog [--channels N] [--rounds N]
//
// The catalog is generated into a temporary program folder: eight categories
// ("0701" to "0708") with the channels spread evenly over them, every tenth
// channel empty.  Each round times, in this order: the bare parse (read the
// file, walk every token), the reading of category "0702" alone
// (ReadCategoryChannels), and the tree's LoadCategoryChannels("0702"), which
// also fills tv1 and synchronises its scroll bar.  Medians of the rounds are
// printed with their ratios to the bare parse.
#include "base/globals.h"
#include "standinwindow.h"
#include "catalog/channeltree.h"
#include "catalog/core/catalog.h"
#include "widgets/mainwindowport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using BenchWindow = StandInWindow;

QByteArray GenerateCatalog(int channels)
{
  QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channels version=\"100093\">\n";
  for (int c = 1; c <= 8; ++c)
    out += QStringLiteral(" <channel>\n  <id>070%1</id>\n  <pid>07</pid>\n  <name>分类%1</name>\n"
                          "  <num>%2</num>\n  <type>0</type>\n </channel>\n")
               .arg(c)
               .arg(channels / 8)
               .toUtf8();
  for (int i = 0; i < channels; ++i) {
    const int category = 1 + i % 8;
    const int serial = 1 + i / 8;
    out += QStringLiteral(" <channel>\n  <id>070%1%2</id>\n  <pid>070%1</pid>\n"
                          "  <name>频道%3 小游戏</name>\n  <num>%4</num>\n  <type>%5</type>\n"
                          " </channel>\n")
               .arg(category)
               .arg(serial % 100, 2, 10, QLatin1Char('0'))
               .arg(i)
               .arg(serial % 10 == 0 ? 0 : 1 + i % 90)
               .arg(i % 3 == 0 ? 4 : 1)
               .toUtf8();
  }
  return out + "</channels>\n";
}

qint64 BareParse(const QString &path)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  QXmlStreamReader reader(f.readAll());
  qint64 tokens = 0;
  while (!reader.atEnd()) {
    reader.readNext();
    ++tokens;
  }
  return reader.hasError() ? -1 : tokens;
}

double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char **argv)
{
  int channels = 10000;
  int rounds = 5;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--channels") == 0)
      channels = std::max(8, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--rounds") == 0)
      rounds = std::max(1, std::atoi(argv[++i]));
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  QTemporaryDir dir;
  if (!dir.isValid())
    return 1;
  AppDir = dir.path() + u'/';
  CatalogVersion = QStringLiteral("100093");
  const QString path = AppDir + QStringLiteral("Resource/xml/100093.xml");
  QDir().mkpath(AppDir + QStringLiteral("Resource/xml"));
  const QByteArray catalog = GenerateCatalog(channels);
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(catalog) != catalog.size())
      return 1;
  }

  BenchWindow window;
  auto *page = new QWidget(&window.widget);
  page->resize(200, 500);
  TChannelTree tree(&window, page, nullptr, nullptr);
  window.widget.resize(1000, 600);
  window.widget.show();
  QCoreApplication::processEvents();

  std::vector<double> bare, read, load;
  qint64 tokens = 0;
  size_t readCount = 0;
  int nodes = 0;
  for (int r = 0; r < rounds; ++r) {
    QElapsedTimer t;
    t.start();
    tokens = BareParse(path);
    bare.push_back(t.nsecsElapsed() / 1e6);

    t.restart();
    const auto chosen = ReadCategoryChannels(CatalogFilePath(), QStringLiteral("0702"));
    read.push_back(t.nsecsElapsed() / 1e6);
    readCount = chosen ? chosen->size() : 0;

    t.restart();
    const bool ok = tree.LoadCategoryChannels(QStringLiteral("0702"));
    load.push_back(t.nsecsElapsed() / 1e6);
    nodes = ok ? tree.tv1->topLevelItemCount() : -1;
    QCoreApplication::processEvents();
  }
  if (tokens < 0 || nodes < 0) {
    std::fprintf(stderr, "catalog bench: the generated catalog did not load\n");
    return 1;
  }
  const double b = Median(bare);
  const double rd = Median(read);
  const double ld = Median(load);
  std::printf("catalog: %d channels, %.1f KiB, %lld tokens; category 0702: %zu records, %d nodes "
              "after the empty ones are removed\n",
              channels, catalog.size() / 1024.0, static_cast<long long>(tokens), readCount, nodes);
  std::printf("median of %d rounds (ms):\n", rounds);
  std::printf("  bare parse (QXmlStreamReader, every token)   %8.2f   1.00x\n", b);
  std::printf("  ReadCategoryChannels (core)                  %8.2f   %.2fx\n", rd, rd / b);
  std::printf("  LoadCategoryChannels (tv1 filled and synced) %8.2f   %.2fx  (goal <= 1.5x)\n", ld,
              ld / b);
  // One line for bench/report.
  std::printf("summary catalog bare_ms=%.3f read_ms=%.3f load_ms=%.3f ratio=%.3f\n", b, rd, ld,
              ld / b);
  return 0;
}
