#include "application.h"

#include <QFileInfo>
#include <QFont>
#include <stdexcept>

#include "displaytext.h"
#include "platform/dialogs.h"
#include "protocol/UDPIOfuncs.h"

namespace {

// The fixed starts of the errors that reach the operator; what follows them (a file name, a
// host) is kept as it is.
const char* const ErrorTexts[] = {
    QT_TRANSLATE_NOOP("Errors", "ungültige IP"),
    QT_TRANSLATE_NOOP("Errors", "ungültiger Host"),
    QT_TRANSLATE_NOOP("Errors", "Cannot open file"),
    QT_TRANSLATE_NOOP("Errors", "Cannot read file"),
    QT_TRANSLATE_NOOP("Errors", "Cannot create file"),
    QT_TRANSLATE_NOOP("Errors", "Cannot write file"),
    QT_TRANSLATE_NOOP("Errors", "Invalid server list file"),
    QT_TRANSLATE_NOOP("Errors", "Host nicht gefunden:"),
    QT_TRANSLATE_NOOP("Errors", "Es läuft bereits eine Abfrage!"),
    QT_TRANSLATE_NOOP("Errors", "TPlayerInfo: Zugriff hinter dem Array"),
    QT_TRANSLATE_NOOP("Errors", "Rcon-Befehle werden nicht an eine Broadcast-Adresse gesendet!"),
    QT_TRANSLATE_NOOP("Errors", "Unbekannter Fehler"),
};

QString TranslatedError(const QString& message) {
  for (const char* text : ErrorTexts) {
    const QString source = QString::fromUtf8(text);
    if (message.startsWith(source))
      return QCoreApplication::translate("Errors", text) + message.mid(source.size());
  }
  return message;
}

}  // namespace

QString ApplicationTitle() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void ShowErrorBox(const std::exception& error) {
  Dialogs().Message(DialogKind::Error, ApplicationTitle(),
                    ErrorBoxText(TranslatedError(ToDisplay(error.what()))), DialogButtons::Ok);
}

ZervalApplication::ZervalApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Lets desktops match the window to the installed desktop entry and its icon.
  setDesktopFileName(QStringLiteral("org.zerval.Zerval"));
  // The layouts are laid out for an 8-point sans serif at 96 dots per inch; Liberation Sans has
  // narrow metrics, and at 10 pixels the captions fit the controls they were sized for.
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(10);
  setFont(font);
  // The window hides in the notification area; closing a message box then closes the last
  // visible window, which must not end the program. The main window ends it itself.
  setQuitOnLastWindowClosed(false);
}

bool ZervalApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const ExchangeCancelled&) {
    // The operator's own choice: nothing to report.
  } catch (const std::exception& error) {
    ShowErrorBox(error);
  } catch (...) {
    ShowErrorBox(std::runtime_error("Unbekannter Fehler"));
  }
  return false;
}

bool ConfirmSecondInstance() {
  const QString text = QCoreApplication::translate(
      "ZervalApplication",
      "Zerval läuft bereits!!!\nSoll eine weitere Instanz geöffnen werden?\n"
      "(Dies kann zu Problemen führen)");
  return ShowMessage(DialogKind::Warning, text, DialogButtons::YesNo) != DialogResult::No;
}
