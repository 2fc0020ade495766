#include "widgets/lxsimage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QMouseEvent>

// The resource object lives in the static library kestrova_skin; naming its
// initialiser here makes the linker keep it.
static void InitSkinResources() { Q_INIT_RESOURCE(kestrova_skin); }

namespace {
int g_decodes = 0;

void EnsureSkinResources()
{
  static const bool once = [] {
    InitSkinResources();
    return true;
  }();
  (void)once;
}

QString ResourcePath(const QString &name)
{
  // The resource table stores every name in upper case.
  return QStringLiteral(":/skin/") + name.trimmed().toUpper();
}

QPixmap Decode(const QString &name)
{
  EnsureSkinResources();
  if (name.trimmed().isEmpty())
    return {};
  QFile file(ResourcePath(name));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  QImageReader reader(&file, "png");
  reader.setAutoTransform(false);
  const QImage img = reader.read();
  ++g_decodes;
  if (img.isNull())
    return {};
  return QPixmap::fromImage(img);
}
}  // namespace

// --- tLxsimage ---------------------------------------------------------------

tLxsimage::tLxsimage(QWidget *parent) : QLabel(parent)
{
  setMouseTracking(true);  // moves are reported without a pressed button
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setScaledContents(false);
}

void tLxsimage::setStretch(bool on) { setScaledContents(on); }
bool tLxsimage::stretch() const { return hasScaledContents(); }

void tLxsimage::mousePressEvent(QMouseEvent *e)
{
  if (e->button() == Qt::LeftButton)
    m_leftDown = true;
  Q_EMIT mouseDown(e->button());
  e->accept();
}

void tLxsimage::mouseReleaseEvent(QMouseEvent *e)
{
  const bool wasDown = m_leftDown;
  if (e->button() == Qt::LeftButton)
    m_leftDown = false;
  e->accept();
  if (e->button() == Qt::LeftButton && wasDown && rect().contains(e->position().toPoint()))
    Q_EMIT clicked();
}

void tLxsimage::mouseDoubleClickEvent(QMouseEvent *e)
{
  // The second press of a double click counts as a press (the picture goes
  // down again) and is reported as a double click; its release is no second
  // click, so a quick double click never runs a button's action twice.
  m_leftDown = false;
  Q_EMIT mouseDown(e->button());
  if (e->button() == Qt::LeftButton)
    Q_EMIT doubleClicked();
  e->accept();
}

void tLxsimage::mouseMoveEvent(QMouseEvent *e)
{
  Q_EMIT mouseMoved();
  e->accept();
}

void tLxsimage::leaveEvent(QEvent *e)
{
  Q_EMIT OnMouseLeave(this);
  QLabel::leaveEvent(e);
}

// --- loading ------------------------------------------------------------------

bool LoadSkinImage(tLxsimage *img, const QString &resourceName)
{
  if (!img)
    return false;
  const QPixmap pm = Decode(resourceName);
  if (pm.isNull())
    return false;
  img->setPixmap(pm);
  return true;
}

QPixmap SkinPixmap(const QString &resourceName) { return Decode(resourceName); }

bool SkinImageExists(const QString &resourceName)
{
  EnsureSkinResources();
  return !resourceName.trimmed().isEmpty() && QFile::exists(ResourcePath(resourceName));
}

QStringList SkinImageNames()
{
  EnsureSkinResources();
  return QDir(QStringLiteral(":/skin")).entryList(QDir::Files, QDir::Name);
}

int SkinDecodeCount() { return g_decodes; }

// --- SkinButton ------------------------------------------------------------------

SkinButton::SkinButton(tLxsimage *img, const QString &base, Option option, int designDigit)
    : QObject(img), m_img(img), m_base(base), m_option(option)
{
  if (designDigit >= 0)
    LoadSkinImage(m_img, m_base + QString::number(designDigit));
  connect(m_img, &tLxsimage::mouseDown, this, [this](Qt::MouseButton b) {
    if (ignoresMouse())
      return;
    MouseDown();
    Q_EMIT pressed(b);
  });
  connect(m_img, &tLxsimage::mouseMoved, this, &SkinButton::MouseMove);
  connect(m_img, &tLxsimage::OnMouseLeave, this, [this](tLxsimage *) { MouseLeave(); });
  connect(m_img, &tLxsimage::clicked, this, [this] {
    if (!ignoresMouse())
      Q_EMIT clicked();
  });
}

bool SkinButton::ignoresMouse() const { return m_option == HasUnavailable && m_img->Tag == 0; }

bool SkinButton::showState(int digit)
{
  if (m_img->Tag == digit)
    return true;
  return forceState(digit, digit);
}

bool SkinButton::forceState(int digit, int tag)
{
  if (!LoadSkinImage(m_img, m_base + QString::number(digit)))
    return false;
  m_img->Tag = tag;
  return true;
}

bool SkinButton::setAvailable(bool available)
{
  return available ? forceState(1, 1) : forceState(0, 0);
}

bool SkinButton::isAvailable() const { return !ignoresMouse(); }

void SkinButton::MouseDown()
{
  if (ignoresMouse())
    return;
  showState(3);
}

void SkinButton::MouseMove()
{
  if (ignoresMouse() || (m_isSelected && m_isSelected()))
    return;
  showState(2);
}

void SkinButton::MouseLeave()
{
  if (ignoresMouse() || (m_isSelected && m_isSelected()))
    return;
  showState(1);
}

// --- SkinGroup ----------------------------------------------------------------------

SkinGroup::SkinGroup(std::function<int()> key, QObject *parent)
    : QObject(parent), m_key(std::move(key))
{
}

void SkinGroup::add(SkinButton *button, int number)
{
  m_members.append({QPointer<SkinButton>(button), number});
  button->setSelectedTest([this, number] { return m_key() == number; });
}

SkinButton *SkinGroup::member(int number) const
{
  for (const auto &[button, n] : m_members)
    if (n == number)
      return button;
  return nullptr;
}

void SkinGroup::release(int number)
{
  if (SkinButton *b = member(number))
    b->forceState(1, 0);
}

void SkinGroup::resetOthers()
{
  const int selected = m_key();
  for (const auto &[button, n] : m_members)
    if (button && n != selected && button->image()->Tag != 1)
      button->forceState(1, 1);
}
