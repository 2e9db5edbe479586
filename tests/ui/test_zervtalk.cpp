// The companion chat program: its reading of log lines and of its command line, and its window
// against the simulator on 127.0.0.1.
#include <unistd.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <memory>
#include <string>

#include "arguments.h"
#include "chatview.h"
#include "consolesender.h"
#include "platform/ownaddresses.h"
#include "protocol/rconlink.h"
#include "protocol/saycommand.h"
#include "scripteddialogs.h"
#include "simulator.h"
#include "talkarguments.h"
#include "talkwindow.h"

namespace {

const std::string Password = "pw";

std::string LogDatagram(const std::string& line) {
  return "\xFF\xFF\xFF\xFFlog L 12/08/2026 - 10:11:12: " + line + "\n" + std::string(1, '\0');
}

std::uint16_t FreeUdpPort() {
  QUdpSocket probe;
  probe.bind(QHostAddress::AnyIPv4, 0);
  return probe.localPort();
}

QStringList ShownLines(const TalkWindow& window) {
  return window.shownText().split(u'\n', Qt::SkipEmptyParts);
}

// A simulator with one chatty bot, and a companion window for it on a free log port. The
// simulator's log goes there, or with `logToWindow` false the test takes that port first.
struct ChatSetup {
  explicit ChatSetup(const QStringList& faults = {}, const std::string& password = Password,
                     bool logToWindow = true) {
    started = simulator.start(QStringList{"--password", QString::fromStdString(Password),
                                          "--players", "1", "--bots", "1", "--chat", "1"} +
                              faults);
    if (!started) return;
    console.bind(QHostAddress::LocalHost, 0);
    const std::string reply = ask("challenge rcon");
    challenge = reply.size() > 19 ? reply.substr(19, reply.find('\n') - 19) : "";
    arguments = TalkArgumentsFor("127.0.0.1", simulator.port(), challenge, password, FreeUdpPort());
    if (logToWindow) {
      for (const std::string& command :
           {"logaddress 127.0.0.1 " + std::to_string(arguments.logPort), std::string("LOG ON"),
            std::string("mp_logmessages 1")})
        ask("rcon " + challenge + " " + Password + " " + command);
    } else {
      takenLogPort.bind(QHostAddress::AnyIPv4, arguments.logPort);
    }
    window = std::make_unique<TalkWindow>(arguments);
  }
  // The operator types `text` and presses Enter.
  void say(const QString& text) {
    QTest::keyClicks(window->ed_say, text);
    QTest::keyClick(window->ed_say, Qt::Key_Return);
  }
  // Asks the simulator's console from this test's own socket on 127.0.0.1.
  std::string ask(const std::string& command) {
    const std::string datagram = "\xFF\xFF\xFF\xFF" + command + std::string(1, '\0');
    console.writeDatagram(datagram.data(), qint64(datagram.size()), QHostAddress::LocalHost,
                          simulator.port());
    return console.waitForReadyRead(5000) ? console.receiveDatagram().data().toStdString() : "";
  }
  long sayLines() const {
    const std::vector<std::string> commands = simulator.commands();
    return std::count_if(commands.begin(), commands.end(), [](const std::string& command) {
      return command.find(" say ") != std::string::npos;
    });
  }

  SimulatorProcess simulator;
  bool started = false;
  QUdpSocket console;
  QUdpSocket takenLogPort;
  std::string challenge;
  TalkArguments arguments;
  std::unique_ptr<TalkWindow> window;
};

}  // namespace

class TestZervtalk : public QObject {
  Q_OBJECT

 private slots:
  void readsLogLines_data() {
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("shown");  // empty: not a log line
    QTest::addColumn<bool>("chat");
    const auto row = [](const char* name, const std::string& datagram, const QString& shown,
                        bool chat) {
      QTest::newRow(name) << QByteArray::fromStdString(datagram) << shown << chat;
    };
    row("say", LogDatagram("\"Dr. Frag<3><STEAM_0:1:42><Red>\" say \"gg \"all\"\""),
        "10:11:12  Dr. Frag: gg \"all\"", true);
    row("say_team", LogDatagram("\"Ice<4><BOT><Blue>\" say_team \"cover me\""),
        "10:11:12  (team) Ice: cover me", true);
    row("tags inside the name",
        LogDatagram("\"a<1><2><3>\" b<5><STEAM_0:0:7><Red>\" say \"hi\" (dead)"),
        "10:11:12  a<1><2><3>\" b: hi", true);
    row("console say", LogDatagram("Server say \"restart in 5\""),
        "10:11:12  [Console] restart in 5", true);
    row("entered", LogDatagram("\"M\xFCller<7><12345><>\" entered the game"),
        "10:11:12  Müller entered the game", true);
    row("left, UTF-8 name", LogDatagram("\"Gr\xC3\xBC\xC3\x9F<8><BOT><Red>\" disconnected"),
        "10:11:12  Grüß left the game", true);
    row("other, unframed", LogDatagram("World triggered \"Round_Start\"").substr(4),
        "10:11:12  World triggered \"Round_Start\"", false);
    row("line breaks and controls", LogDatagram("\"x<1><2><Red>\" say \"a\rb\x01\""),
        "10:11:12  x: a b ", true);
    row("today's form", "\xFF\xFF\xFF\xFFRL 12/08/2026 - 10:11:12: Server say \"hi\"\n",
        "10:11:12  [Console] hi", true);
    row("with a log secret", "\xFF\xFF\xFF\xFFS4711L 12/08/2026 - 10:11:12: Server say \"hi\"\n",
        "10:11:12  [Console] hi", true);
    row("no time stamp", "\xFF\xFF\xFF\xFFlog L 12/08/2026 10:11:12: x\n", QString(), false);
    row("console reply", "\xFF\xFF\xFF\xFFlConsole: hi\n", QString(), false);
  }
  void readsLogLines() {
    QFETCH(QByteArray, datagram);
    QFETCH(QString, shown);
    QFETCH(bool, chat);
    const std::optional<LogLine> line = ReadLogDatagram(datagram.toStdString());
    QCOMPARE(line.has_value(), !shown.isEmpty());
    if (!line) return;
    const ChatEntry entry = ShowLogLine(*line);
    QCOMPARE(entry.text, shown);
    QCOMPARE(entry.chat, chat);
  }

  void readsArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("read");  // host|port|challenge|password|log port, or the error
    QTest::newRow("as the Chat action gives them")
        << QStringList{"-127.0.0.1", "-27015", "-123456789", "-pw 2"}
        << "127.0.0.1|27015|123456789|pw 2|3305";
    QTest::newRow("split password, log port after")
        << QStringList{"-10.0.0.1", "-27016", "-1", "-my", "pass", "--log-port", "4000"}
        << "10.0.0.1|27016|1|my pass|4000";
    QTest::newRow("log port first, password with minus")
        << QStringList{"--log-port=4001", "-127.0.0.1", "-27015", "-7", "--x"}
        << "127.0.0.1|27015|7|-x|4001";
    QTest::newRow("password elsewhere")
        << QStringList{"--password-fd", "3", "-127.0.0.1", "-27015", "-7"}
        << "127.0.0.1|27015|7||3305";
    QTest::newRow("too few") << QStringList{"-127.0.0.1", "-27015"}
                             << "HOST, PORT and CHALLENGE are needed";
    QTest::newRow("bad descriptor") << QStringList{"--password-fd", "x", "-127.0.0.1", "-1", "-7"}
                                    << "--password-fd wants a descriptor number";
    QTest::newRow("no IPv4 host") << QStringList{"-example.org", "-27015", "-7", "-pw"}
                                  << "HOST must be an IPv4 address, not \"example.org\"";
    QTest::newRow("port out of range") << QStringList{"-127.0.0.1", "-70000", "-7", "-pw"}
                                       << "PORT must be a number from 1 to 65535, not \"70000\"";
    QTest::newRow("bad console") << QStringList{"--console", "rcon", "-127.0.0.1", "-1", "-7"}
                                 << "--console wants udp or tcp";
    QTest::newRow("bad log port") << QStringList{"--log-port", "0", "-127.0.0.1", "-1", "-7", "-p"}
                                  << "--log-port wants a port from 1 to 65535";
  }
  void readsArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, read);
    std::string error;
    std::vector<std::string> bytes;
    for (const QString& argument : arguments) bytes.push_back(argument.toStdString());
    const std::optional<TalkArguments> got = ReadArguments(bytes, error);
    const QString shown = got ? QString::fromStdString(got->host + "|" + std::to_string(got->port) +
                                                       "|" + got->challenge + "|" + got->password +
                                                       "|" + std::to_string(got->logPort))
                              : QString::fromStdString(error);
    QCOMPARE(shown, read);
  }

  // Each line of a text becomes one quoted "say": no line break, ';' or double quote of the
  // text can end the command and start another on the server's console.
  void sayCommands_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("plain") << QByteArray("gg all") << QStringList{"say \"gg all\""};
    QTest::newRow("quotes and semicolons")
        << QByteArray("he said \"hi\"; quit") << QStringList{"say \"he said 'hi' quit\""};
    QTest::newRow("pasted lines") << QByteArray("first\r\nsecond; status\n\nthird\r")
                                  << QStringList{"say \"first\"", "say \"second status\"",
                                                 "say \"third\""};
    QTest::newRow("nothing to say") << QByteArray(" ;\n\t") << QStringList{};
  }
  void sayCommands() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, commands);
    QStringList built;
    for (const SayLine& line : SayCommands(text.toStdString()))
      built << QString::fromStdString(line.command);
    QCOMPARE(built, commands);
  }

  // The password comes through a descriptor or the environment, one line end left off; one that
  // no console line could carry is refused.
  void passwordFromADescriptor_data() {
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("read");  // the password, or the error
    QTest::newRow("as the window writes it") << QByteArray("p\xE4ss w") << "p\u00E4ss w";
    QTest::newRow("a line from a file") << QByteArray("secret\n") << "secret";
    QTest::newRow("two lines") << QByteArray("a\nb")
                               << "the password holds a line break or a zero byte";
    QTest::newRow("too long") << QByteArray(300, 'x') << "the password is longer than 255 bytes";
  }
  void passwordFromADescriptor() {
    QFETCH(QByteArray, written);
    QFETCH(QString, read);
    int ends[2];
    QCOMPARE(pipe(ends), 0);
    QCOMPARE(write(ends[1], written.constData(), std::size_t(written.size())),
             ssize_t(written.size()));
    close(ends[1]);
    std::string error;
    const std::optional<std::string> password = ReadPasswordFrom(ends[0], error);
    QCOMPARE(password ? QString::fromLatin1(password->c_str()) : QString::fromStdString(error),
             read);
  }

  // A bot's line shows; a typed line goes out as "say" and comes back through the log; a log
  // datagram from another address than the server's is not shown.
  void chatFromTheSimulator() {
    ChatSetup setup;
    QVERIFY2(setup.started, qPrintable(setup.simulator.errorText()));
    TalkWindow& w = *setup.window;
    QCOMPARE(w.windowTitle(), "zervtalk – 127.0.0.1:" + QString::number(setup.simulator.port()));
    QTRY_VERIFY_WITH_TIMEOUT(w.shownText().contains("[BOT] Alpha: "), 10000);

    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress("127.0.0.2"), 0));
    const std::string spoof = LogDatagram("\"Mallory<9><BOT><Red>\" say \"spoofed\"");
    stranger.writeDatagram(spoof.data(), qint64(spoof.size()), QHostAddress::LocalHost,
                           setup.arguments.logPort);

    setup.say(QStringLiteral("hello \"there\""));
    QVERIFY(w.ed_say->text().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(ShownLines(w).last().endsWith("  [Console] hello 'there'"), 10000);
    QCOMPARE(setup.simulator.commands().back(),
             "rcon " + setup.challenge + " pw say \"hello 'there'\"");
    QVERIFY(!w.shownText().contains("spoofed"));

    // A pasted text of two lines goes out as two lines, and the operator is told.
    w.ed_say->setText(QStringLiteral("one\ntwo; status"));
    w.sendTyped();
    QCOMPARE(w.lbl_status->text(), QStringLiteral("The text went out as 2 lines."));
    QTRY_VERIFY_WITH_TIMEOUT(ShownLines(w).last().endsWith("  [Console] two status"), 10000);
    QCOMPARE(setup.sayLines(), 3L);
  }

  // A wrong password is shown and never tried again; an expired challenge is renewed once.
  // Both work without the log, whose port is taken here.
  void refusalsAndRenewal() {
    {
      ChatSetup wrong({}, "wrong", false);
      QVERIFY(wrong.started);
      QVERIFY(wrong.window->lbl_status->text().contains("cannot be opened"));
      wrong.say(QStringLiteral("hi"));
      QTRY_COMPARE_WITH_TIMEOUT(wrong.window->ed_say->text(), QStringLiteral("hi"), 10000);
      QCOMPARE(wrong.window->lbl_status->text(), QStringLiteral("Not sent: Bad rcon_password."));
      wrong.say(QStringLiteral(" again"));
      QCOMPARE(wrong.window->ed_say->text(), QStringLiteral("hi again"));
      QCOMPARE(wrong.sayLines(), 1L);
    }
    ChatSetup expired({"--expire-challenge", "1 rcon:say"}, Password, false);
    QVERIFY(expired.started);
    expired.say(QStringLiteral("still here"));
    QTRY_COMPARE_WITH_TIMEOUT(expired.sayLines(), 2L, 10000);
    const std::string renewed = expired.simulator.commands().back();
    QVERIFY(renewed.find(" pw say \"still here\"") != std::string::npos);
    QVERIFY(renewed != "rcon " + expired.challenge + " pw say \"still here\"");
    QVERIFY(expired.window->ed_say->text().isEmpty());
  }

  // Started by hand against a server whose console speaks TCP, it finds that console, shows the
  // log lines of today's form, says typed lines over TCP and takes its log address off the
  // server when it closes.
  void chatOverTcp() {
    SimulatorProcess simulator;
    QVERIFY(
        simulator.start({"--console", "tcp", "--password", "pw", "--bots", "1", "--chat", "1"}));
    const TalkArguments arguments =
        TalkArgumentsFor("127.0.0.1", simulator.port(), "", Password, FreeUdpPort());
    RconLink console(QHostAddress::LocalHost, simulator.port(), Password, ConsoleSender::Timeout);
    int ended = 0;
    connect(&console, &RconLink::finished, [&ended] { ++ended; });
    console.Submit("log on");
    console.Submit("logaddress_add 127.0.0.1:" + std::to_string(arguments.logPort));
    QTRY_COMPARE_WITH_TIMEOUT(ended, 2, 10000);
    TalkWindow w(arguments);
    w.show();
    QTRY_VERIFY_WITH_TIMEOUT(w.shownText().contains("[BOT] Alpha: "), 10000);
    QTest::keyClicks(w.ed_say, QStringLiteral("over tcp"));
    QTest::keyClick(w.ed_say, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(w.shownText().contains("[Console] over tcp"), 10000);
    w.close();
    QVERIFY(w.isHidden());
    const std::string farewell =
        "logaddress_del " + *ChatLogAddress() + ":" + std::to_string(arguments.logPort);
    QTRY_COMPARE_WITH_TIMEOUT(simulator.tcpBodies(2).back(), farewell, 10000);
    const std::vector<std::string> said = simulator.tcpBodies(2);
    QCOMPARE(std::count(said.begin(), said.end(), "say \"over tcp\""), 1L);
    QCOMPARE(simulator.commands(), std::vector<std::string>{"challenge rcon"});
  }

  void historyCopyAndSave() {
    ScriptedDialogs dialogs;
    TalkWindow w(TalkArgumentsFor("127.0.0.1", 27015, "1", Password, FreeUdpPort()));
    w.takeDatagram(LogDatagram("World triggered \"Round_Start\""));
    for (int i = 0; i < TalkWindow::KeptLines; ++i)
      w.takeDatagram(LogDatagram("Server say \"" + std::to_string(i) + "\""));
    QCOMPARE(ShownLines(w).size(), TalkWindow::KeptLines);
    QVERIFY(!w.shownText().contains("Round_Start"));
    w.takeDatagram(LogDatagram("World triggered \"Round_End\""));
    w.cb_showall->setChecked(true);
    QCOMPARE(ShownLines(w).first(), QStringLiteral("10:11:12  [Console] 1"));
    QCOMPARE(ShownLines(w).last(), QStringLiteral("10:11:12  World triggered \"Round_End\""));

    w.btn_copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), w.shownText());
    QTemporaryDir dir;
    dialogs.files = {dir.filePath("chat.txt")};
    w.btn_save->click();
    QFile saved(dir.filePath("chat.txt"));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), w.shownText() + "\n");
  }
};

QTEST_MAIN(TestZervtalk)
#include "test_zervtalk.moc"
