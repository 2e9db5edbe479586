#include "frmquery.h"

#include <QEventLoop>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QRect>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int WaitTextPixels = 32;

// The largest font of at most WaitTextPixels in which the label's word-wrapped text shows
// whole: fonts differ in width, and a text wrapped onto one more line is cut at top and bottom.
QFont WholeTextFont(const QLabel& label) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  const QRect room = label.contentsRect();
  for (int pixels = WaitTextPixels; pixels > 1; --pixels) {
    font.setPixelSize(pixels);
    const QRect needed = QFontMetrics(font).boundingRect(
        room, static_cast<int>(label.alignment()) | Qt::TextWordWrap, label.text());
    if (room.contains(needed)) break;
  }
  return font;
}

}  // namespace

Tfrm_query::Tfrm_query(QWidget* owner) : QFrame(owner) {
  ui.setupUi(this);
  ui.lbl_wait->setFont(WholeTextFont(*ui.lbl_wait));
  hide();
}

void Tfrm_query::Open() {
  const QWidget* owner = parentWidget();
  move((owner->width() - width()) / 2, (owner->height() - height()) / 2);
  raise();
  show();
}

void PlayWaveResource(const QString& name, bool synchronous) {
  // One effect for the whole run: an asynchronous sound must outlive the call that started it.
  static QSoundEffect* effect = nullptr;
  if (!effect) effect = new QSoundEffect();
  effect->setSource(QUrl(QStringLiteral("qrc:/sounds/") + name));
  effect->play();
  if (!synchronous) return;
  // Without an audio device the sound may never start: wait at most a little longer than it lasts.
  QEventLoop loop;
  QObject::connect(effect, &QSoundEffect::playingChanged, &loop, [&] {
    if (!effect->isPlaying()) loop.quit();
  });
  QTimer::singleShot(3000, &loop, &QEventLoop::quit);
  loop.exec();
}
