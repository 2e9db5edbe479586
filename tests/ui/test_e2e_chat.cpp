// The window's Chat button starts the companion chat program found beside the window program.
#include <signal.h>

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "e2ewindow.h"
#include "platform/startprogram.h"

using namespace e2e;

namespace {

// The ids of the running processes whose command line is exactly `commandLine`, byte for byte.
std::vector<pid_t> ProcessesRunning(const QByteArrayList& commandLine) {
  std::vector<pid_t> found;
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool isProcess = false;
    const pid_t pid = entry.toInt(&isProcess);
    QFile file("/proc/" + entry + "/cmdline");
    if (!isProcess || !file.open(QIODevice::ReadOnly)) continue;
    QByteArrayList arguments = file.readAll().split('\0');
    arguments.removeLast();  // after the closing zero byte
    if (arguments == commandLine) found.push_back(pid);
  }
  return found;
}

}  // namespace

class TestE2eChat : public QObject {
  Q_OBJECT

 private slots:
  void chatStartsTheCompanion() {
    SimulatorProcess simulator;
    // No bot chat: the Chat action points the log at an own address of this machine, which may
    // be another than 127.0.0.1, and nothing is to be sent there.
    QVERIFY(simulator.start({"--password", "pw", "--chat", "0"}));
    Window window;
    Tfrm_main& w = *window.w;
    QVERIFY(w.uiAdmin.btn_cht->isEnabled());
    // A password that is no UTF-8 reaches the companion as the bytes it is.
    const std::string password("p\xE4ss w");
    window.LoadList({Entry("Chat", Address(simulator), password)});
    window.Choose(0);
    QTRY_VERIFY_WITH_TIMEOUT(w.CurrentServer.ServerSelected && !w.UDPClient.IsBusy(), 10000);

    // The password goes through an inherited pipe: neither the command line nor the
    // environment, which other users or tools may read, holds it.
    const QByteArrayList commandLine{QFile::encodeName(CompanionProgramPath()),
                                     "--console",
                                     "udp",
                                     "--password-fd",
                                     "3",
                                     "-127.0.0.1",
                                     "-" + QByteArray::number(simulator.port()),
                                     "-" + QByteArray::fromStdString(w.CurrentServer.Challenge)};
    const auto stopCompanion = qScopeGuard([&] {
      for (const pid_t pid : ProcessesRunning(commandLine)) kill(pid, SIGTERM);
    });
    w.uiAdmin.btn_cht->click();
    QTRY_VERIFY_WITH_TIMEOUT(!ProcessesRunning(commandLine).empty(), 10000);
    const pid_t companion = ProcessesRunning(commandLine).front();
    QFile environment("/proc/" + QString::number(companion) + "/environ");
    QVERIFY(environment.open(QIODevice::ReadOnly));
    QVERIFY(!environment.readAll().contains(QByteArray::fromStdString(password)));
    // It read the password and runs on; without one it would have ended at once.
    QTest::qWait(500);
    QCOMPARE(ProcessesRunning(commandLine), std::vector<pid_t>{companion});
    const Commands sent = simulator.commands();
    QCOMPARE(sent.back().substr(0, sent.back().find(" logaddress ")),
             "rcon " + w.CurrentServer.Challenge + " " + password);
  }

  // A started program reads the secret it was given on its descriptor.
  void secretReachesTheProgramOnItsDescriptor() {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("read"));
    QVERIFY(StartProgram(QStringLiteral("/bin/sh"), {"-c", "cat <&3 > '" + out.toStdString() + "'"},
                         std::string("p\xE4ss w")));
    QFile read(out);
    QTRY_VERIFY(read.size() == 6);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QCOMPARE(read.readAll(), QByteArray("p\xE4ss w"));
  }
};

QTEST_MAIN(TestE2eChat)
#include "test_e2e_chat.moc"
