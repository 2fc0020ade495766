// The baseline of bench/startup.sh: how long a bare Qt program takes from
// its start to the first paint of a window of the client's design size.
//   kestrova_startup_bare widget    a plain window
//   kestrova_startup_bare webview   a window holding a web view (the web
//                                   engine's start-up, which the client pays
//                                   for its portal browser)
// Prints "first-paint <milliseconds since the epoch>" and ends.
#include <QApplication>
#include <QDateTime>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWidget>
#include <cstdio>
#include <cstring>

namespace {

class Window : public QWidget {
public:
  explicit Window(bool webView)
  {
    resize(1008, 642);
    if (webView) {
      auto *lay = new QVBoxLayout(this);
      lay->setContentsMargins(8, 88, 8, 24);  // a frame around it, as the client has
      auto *view = new QWebEngineView(this);
      view->setHtml(QStringLiteral("<html><body>bare</body></html>"));
      lay->addWidget(view);
    }
  }

protected:
  void paintEvent(QPaintEvent *) override
  {
    QPainter(this).fillRect(rect(), QColor(47, 155, 234));
    if (!m_painted) {
      m_painted = true;
      std::printf("first-paint %lld\n",
                  static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
      std::fflush(stdout);
      QTimer::singleShot(200, qApp, &QCoreApplication::quit);
    }
  }

private:
  bool m_painted = false;
};

}  // namespace

int main(int argc, char **argv)
{
  const bool webView = argc > 1 && std::strcmp(argv[1], "webview") == 0;
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  Window w(webView);
  w.show();
  return app.exec();
}
