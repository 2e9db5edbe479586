// End-to-end set-up: the real main window, shown offscreen in a working directory of its own,
// with scripted dialogs, against game-server simulators running as child processes.
#pragma once

#include <QAbstractItemView>
#include <QByteArray>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "main.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "simulator.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace e2e {

using Commands = std::vector<std::string>;

const QString TimeoutText = QStringLiteral("Ziel nicht erreichbar!");
const QString NoServerText = QStringLiteral("kein Server gewählt");
// Short enough to keep the failure paths quick, long enough for a loaded machine.
constexpr int ReceiveTimeoutMs = 500;

inline std::string Address(const SimulatorProcess& simulator) {
  return "127.0.0.1:" + std::to_string(simulator.port());
}

inline TServerEntry Entry(const std::string& name, const std::string& address,
                          const std::string& password = {}) {
  TServerEntry entry;
  entry.Name = name;
  entry.Address = address;
  entry.HasPassword = password.empty() ? 0 : 1;
  entry.Password = password;
  return entry;
}

// The console lines of the memo, one per line.
inline QStringList ConsoleLines(const QPlainTextEdit& memo) {
  return memo.toPlainText().split(u'\n', Qt::SkipEmptyParts);
}

// Player names as the players list shows them.
inline QStringList ShownPlayers(const Tfrm_main& w) {
  QStringList names;
  const QTreeWidget* list = w.uiPlayers.lv_players;
  for (int i = 0; i < list->topLevelItemCount(); ++i) names << list->topLevelItem(i)->text(0);
  return names;
}

// Nicks of the parsed status listing, without their quotes.
inline QStringList StatusNicks(const Tfrm_main& w) {
  QStringList nicks;
  for (std::int32_t i = 0; i < w.PlayerInfo.Count(); ++i) {
    QString nick = QString::fromStdString(w.PlayerInfo.GetPlayer(i).Nick.str());
    if (nick.size() >= 2 && nick.startsWith(u'"') && nick.endsWith(u'"'))
      nick = nick.mid(1, nick.size() - 2);
    nicks << nick;
  }
  return nicks;
}

// The main window as the operator gets it: created in an empty working directory (or one
// holding a "config.dat" with the bytes `config`), shown, with every dialog scripted.
struct Window {
  explicit Window(const QByteArray& config = {}) {
    EnterSandbox(dir);
    if (!config.isEmpty()) {
      QFile file(dir.filePath(QStringLiteral("config.dat")));
      if (file.open(QIODevice::WriteOnly)) file.write(config);
    }
    ForceClassicQueries(config.isEmpty() ? UserOptionsFolder(dir) : dir.path());
    w = std::make_unique<Tfrm_main>();
    w->show();
    // The first showing put the stored or default time-out into effect; tests wait less.
    w->UDPClient.SetReceiveTimeout(ReceiveTimeoutMs);
  }

  // The program ends and starts again in the same folders.
  void Restart() {
    w->close();
    w = std::make_unique<Tfrm_main>();
    w->show();
    w->UDPClient.SetReceiveTimeout(ReceiveTimeoutMs);
  }

  // "Load Serverlist" with a list file holding `entries`.
  void LoadList(const TServerList& entries) {
    const QString file = dir.filePath(QStringLiteral("servers.zsl"));
    SaveServerList(entries, file);
    dialogs.files = {file};
    w->uiOptions.btn_openserverlist->click();
  }

  // The operator opens the server combo's list and clicks item `index`.
  void Choose(int index) {
    QComboBox* combo = w->ui.cb_servers;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QModelIndex item = view->model()->index(index, combo->modelColumn());
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
  }

  QStringList dialogTexts() const { return dialogs.texts(); }

  QTemporaryDir dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<Tfrm_main> w;
};

}  // namespace e2e

Q_DECLARE_METATYPE(e2e::Commands)

namespace QTest {
template <>
inline char* toString(const e2e::Commands& commands) {
  QStringList quoted;
  for (const std::string& command : commands)
    quoted << QLatin1Char('"') + QString::fromLatin1(command.c_str()) + QLatin1Char('"');
  return toString(quoted.join(QStringLiteral(", ")));
}
}  // namespace QTest
