#pragma once

#include <QFrame>
#include <QString>

#include "ui_frm_query.h"

// The wait dialog of an exchange: a child inside its owner's window, so the window stays
// usable, and without any way to close it; the exchange that opened it hides it again. Made
// hidden, once: building it cost more than a whole exchange on a LAN.
class Tfrm_query : public QFrame {
  Q_OBJECT

 public:
  explicit Tfrm_query(QWidget* owner);
  // Shows it in the middle of its owner, above the owner's other children.
  void Open();

  Ui::frm_query ui;
};

// Plays one of the program's own sounds ("TIMEOUT"); without an audio device, silence.
void PlayWaveResource(const QString& name, bool synchronous);
