#include "frmquery.h"

#include <QEventLoop>
#include <QFont>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

Tfrm_query::Tfrm_query(QWidget* owner) : QFrame(owner) {
  ui.setupUi(this);
  QFont waitFont(QStringLiteral("Sans Serif"));
  waitFont.setPixelSize(32);
  ui.lbl_wait->setFont(waitFont);
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
