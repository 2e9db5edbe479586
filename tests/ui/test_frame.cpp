// The frame of the main window: start, pages, debug strip, tray, error box, wait dialog.
#include <sys/stat.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "application.h"
#include "filelimits.h"
#include "frmquery.h"
#include "main.h"
#include "platform/singleinstance.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "store/stdfuncs.h"

namespace {

// Counts the requests to end the program, which reach the application object.
struct QuitRequests : QObject {
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == QEvent::Quit ? 1 : 0;
    return false;
  }
};

// The window with one server added on the Options page, so the list holds an unsaved change.
void AddServer(Tfrm_main& w) {
  w.uiOptions.ed_servername->setText(QStringLiteral("Arena"));
  w.uiOptions.ed_ip->setText(QStringLiteral("127.0.0.1:1"));
  w.UDPClient.SetReceiveTimeout(100);
  w.btn_addClick();
}

// Whether `next` may follow `previous` in the tab order: below it, further right on the same
// row, or at the top of a column of its own to the right.
bool FollowsVisually(const QRect& previous, const QRect& next) {
  constexpr int Slack = 4;
  const bool sameRow = next.top() < previous.bottom() && previous.top() < next.bottom();
  return next.top() >= previous.bottom() - Slack || (sameRow && next.left() > previous.left()) ||
         next.left() >= previous.right() - Slack;
}

// Runs `step` in the application's own message loop, where a request to quit takes effect.
void RunInMessageLoop(const std::function<void()>& step) {
  QTimer::singleShot(0, [step] {
    step();
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  });
  QApplication::exec();
}

}  // namespace

class TestFrame : public QObject {
  Q_OBJECT

  QTemporaryDir workDir;

 private slots:
  void init() { EnterSandbox(workDir); }
  void cleanup() { QFile::remove(QStringLiteral("config.dat")); }

  void windowHasItsFixedFrame() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    QCOMPARE(w.objectName(), QStringLiteral("frm_main"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Zerval"));
    QCOMPARE(w.size(), QSize(689, 456));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("cb_servers"))->geometry(),
             QRect(3, 14, 145, 21));
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("pc_Server"))->geometry(),
             QRect(0, 46, 683, 393));
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("mem_status"))->geometry(),
             QRect(3, 471, 680, 76));
    QCOMPARE(w.ui.cb_servers->currentText(), QStringLiteral("kein Server gewählt"));
    QCOMPARE(Tfrm_main::TagOf(w.ui.cb_autoQuery), 0);
    QVERIFY(dialogs.shown.empty());
  }

  void pagesInOrderWithTagsAndNoneActive() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    const QStringList names = {"ts_overview", "ts_details", "ts_players", "ts_rules",
                               "tb_admin",    "tb_options", "tb_about"};
    const QStringList captions = {"Übersicht", "Server",  "Players", "Rules",
                                  "Admin",     "Options", "About"};
    const QList<int> tags = {0, 1, 2, 3, 0, 0, 0};
    QTabWidget* pages = w.ui.pc_Server;
    QCOMPARE(w.ActivePageIndex(), -1);
    QVERIFY(!pages->isTabVisible(pages->currentIndex()));
    for (int i = 0; i < names.size(); ++i) {
      QCOMPARE(pages->widget(i + 1)->objectName(), names[i]);
      QCOMPARE(pages->tabText(i + 1), captions[i]);
      QCOMPARE(Tfrm_main::TagOf(pages->widget(i + 1)), tags[i]);
      QVERIFY(pages->isTabVisible(i + 1));
      QVERIFY(!pages->tabIcon(i + 1).isNull());
    }
    w.SetActivePageIndex(6);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("tb_about"));
    QCOMPARE(w.uiAbout.Label11->text(), QStringLiteral("BETA 7"));
    // Alt and a digit choose the pages in their order; past the last page nothing changes.
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (int digit = 9; digit >= 1; --digit) {
      QTest::keyClick(&w, Qt::Key(Qt::Key_0 + digit), Qt::AltModifier);
      QCOMPARE(pages->currentWidget()->objectName(), names[std::min(digit, 7) - 1]);
    }
  }

  void debugStripToggles() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    QPushButton* button = w.ui.SpeedButton1;
    QCOMPARE(button->text(), QStringLiteral("show &Debuginfos"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral(" hide &Debuginfos"));
    QVERIFY(w.ui.mem_status->isVisible() && w.ui.Label4->isVisible());
    QCOMPARE(w.height(), 456 + 96);
    QCOMPARE(Tfrm_main::TagOf(button), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("show &Debuginfos"));
    QVERIFY(!w.ui.mem_status->isVisible() && !w.ui.Label4->isVisible());
    QCOMPARE(w.height(), 456);
    QCOMPARE(Tfrm_main::TagOf(button), 1);
  }

  void logLinesAndClearLog() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    // Lines logged while the strip is hidden show once it is opened, then at once.
    w.AddStatusLine("Daten gesendet (12)");
    QVERIFY(w.ui.mem_status->toPlainText().isEmpty());
    w.SpeedButton1Click();
    w.AddStatusLine(std::string("caf\xE9", 4));
    QCOMPARE(w.ui.mem_status->toPlainText(), QStringLiteral("Daten gesendet (12)\ncafé"));
    QAction* clear = w.pop_debug.findChild<QAction*>(QStringLiteral("ClearLog1"));
    QVERIFY(clear);
    QCOMPARE(clear->text(), QStringLiteral("Clear Log"));
    clear->trigger();
    QVERIFY(w.ui.mem_status->toPlainText().isEmpty());
  }

  void errorBoxAppendsFullStopByRule() {
    QCOMPARE(ErrorBoxText(QStringLiteral("ungültige IP")), QStringLiteral("ungültige IP."));
    QCOMPARE(ErrorBoxText(QStringLiteral("Kein Server!")), QStringLiteral("Kein Server!"));
    QCOMPARE(ErrorBoxText(QStringLiteral("Ende.")), QStringLiteral("Ende."));
    QCOMPARE(ErrorBoxText(QStringLiteral("(a)")), QStringLiteral("(a)"));
    QCOMPARE(ErrorBoxText(QStringLiteral("Datei /x")), QStringLiteral("Datei /x."));
    QCOMPARE(ErrorBoxText(QString()), QString());
  }

  void exceptionLeavingAHandlerIsShownAndTheLoopGoesOn() {
    ScriptedDialogs dialogs;
    bool laterRan = false;
    QTimer::singleShot(0, [] { throw EInvalidIP(); });
    QTimer::singleShot(10, [&] { laterRan = true; });
    QTRY_VERIFY(laterRan);
    QCOMPARE(dialogs.shown.size(), std::size_t(1));
    QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
    QCOMPARE(dialogs.shown[0].title, ApplicationTitle());
    QCOMPARE(dialogs.shown[0].text, QStringLiteral("ungültige IP."));
    QCOMPARE(ApplicationTitle(), QStringLiteral("test_frame"));
  }

  void secondInstanceAsks() {
    const QString name =
        QStringLiteral("ZervalTest") + QString::number(QCoreApplication::applicationPid());
    const SingleInstance first(name);
    QVERIFY(!first.AlreadyRunning());
    const SingleInstance second(name);
    QVERIFY(second.AlreadyRunning());

    ScriptedDialogs dialogs;
    dialogs.answers = {DialogResult::No, DialogResult::Yes};
    QVERIFY(!ConfirmSecondInstance());
    QVERIFY(ConfirmSecondInstance());
    QCOMPARE(dialogs.shown[0].kind, DialogKind::Warning);
    QCOMPARE(dialogs.shown[0].title, QStringLiteral("Warning"));
    QCOMPARE(dialogs.shown[0].buttons, DialogButtons::YesNo);
    QCOMPARE(dialogs.shown[0].text,
             QStringLiteral("Zerval läuft bereits!!!\nSoll eine weitere Instanz geöffnen werden?\n"
                            "(Dies kann zu Problemen führen)"));
  }

  void closeGoesAheadWithoutNotificationArea() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    w.Options.TrayIcon = 1;
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    QVERIFY(w.close());
    QVERIFY(!w.isVisible());
    QVERIFY(!w.trayIcon.isVisible());
  }

  // Real message boxes. Hidden in the tray, the window is no visible window: closing a box must
  // not end the program, which only the window's close and the tray's "Close" do. Error texts
  // can quote server data, which a box shows as the characters it is.
  void realMessageBoxes() {
    Tfrm_main w;
    w.show();
    w.hide();
    QuitRequests quit;
    qApp->installEventFilter(&quit);
    const QString serverText = "'<h1>Session expired!</h1>' is not a valid integer value";
    QString shown;
    RunInMessageLoop([&] {
      QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label->textFormat() == Qt::PlainText) shown = label->text();
        box->buttons().constFirst()->click();
      });
      ShowErrorBox(EZerval(serverText.toStdString()));
    });
    QCOMPARE(shown, serverText + ".");
    QCOMPARE(quit.count, 0);
    RunInMessageLoop([&w] { w.tray_CloseClick(); });
    w.show();
    RunInMessageLoop([&w] { w.close(); });
    QCOMPARE(quit.count, 2);

    // Escape closes every box with its most cautious answer.
    const auto escaped = [](DialogButtons buttons) {
      QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
      });
      return ShowMessage(DialogKind::Warning, QStringLiteral("?"), buttons);
    };
    QCOMPARE(escaped(DialogButtons::Ok), DialogResult::Ok);
    QCOMPARE(escaped(DialogButtons::YesNo), DialogResult::No);
    QCOMPARE(escaped(DialogButtons::SaveDiscardCancel), DialogResult::Cancel);
  }

  // Closing, from the window or the tray, asks before a list with unsaved changes is lost:
  // Save writes the standard list (or the chosen file), Discard closes, Cancel keeps it open.
  void closeAsksAboutAnUnsavedList_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("standardList");
    QTest::addColumn<bool>("fromTray");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("saved");
    QTest::newRow("save into the standard list")
        << int(DialogResult::Save) << true << false << true << true;
    QTest::newRow("save into a chosen file")
        << int(DialogResult::Save) << false << true << true << true;
    QTest::newRow("discard") << int(DialogResult::Discard) << true << true << true << false;
    QTest::newRow("cancel") << int(DialogResult::Cancel) << true << false << false << false;
  }
  void closeAsksAboutAnUnsavedList() {
    QFETCH(int, answer);
    QFETCH(bool, standardList);
    QFETCH(bool, fromTray);
    QFETCH(bool, closes);
    QFETCH(bool, saved);
    const QString listFile = workDir.filePath(QStringLiteral("arena.zsl"));
    QFile::remove(listFile);
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    if (standardList) w.Options.StandardListFile = listFile.toStdString();
    RunInMessageLoop([&w] { w.close(); });
    QVERIFY(dialogs.shown.empty());
    w.show();
    AddServer(w);
    dialogs.shown.clear();
    dialogs.answers = {DialogResult(answer)};
    dialogs.files = {listFile};
    QuitRequests quit;
    qApp->installEventFilter(&quit);
    if (fromTray) w.hide();
    RunInMessageLoop([&w, fromTray] { fromTray ? w.tray_CloseClick() : void(w.close()); });

    QCOMPARE(dialogs.shown.front().buttons, DialogButtons::SaveDiscardCancel);
    QCOMPARE(quit.count, closes ? 1 : 0);
    QCOMPARE(QFile::exists(listFile), saved);
    // The save dialog of a list without a file opens in the options' folder.
    QCOMPARE(dialogs.fileDialogs.size(), std::size_t(saved && !standardList ? 1 : 0));
    if (!dialogs.fileDialogs.empty())
      QCOMPARE(dialogs.fileDialogs[0]->directory().absolutePath(),
               QDir(UserOptionsFolder(workDir)).absolutePath());
    if (saved) {
      TServerList list;
      LoadServerList(list, listFile);
      QCOMPARE(list.size(), std::size_t(1));
      QVERIFY(!w.ListChanged);
    }
  }

  // On every page, Tab walks the controls in the order they are seen: top to bottom, left to
  // right, column by column, the debug strip last.
  void tabOrderFollowsTheLayout() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    w.SpeedButton1Click();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    for (int page = 0; page < 7; ++page) {
      w.SetActivePageIndex(page);
      w.ui.cb_servers->setFocus();
      // The editable combo box gives the focus to its own edit.
      const auto atStart = [&w] {
        return w.ui.cb_servers->isAncestorOf(QApplication::focusWidget());
      };
      QList<QWidget*> order{w.ui.cb_servers};
      for (QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
           !atStart() && order.size() < 60;
           QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab))
        order << QApplication::focusWidget();
      for (int i = 1; i < order.size(); ++i) {
        const auto place = [&w](const QWidget* widget) {
          return QRect(widget->mapTo(&w, QPoint(0, 0)), widget->size());
        };
        QVERIFY2(FollowsVisually(place(order[i - 1]), place(order[i])),
                 qPrintable(QString("page %1: %2 after %3")
                                .arg(page)
                                .arg(order[i]->objectName(), order[i - 1]->objectName())));
      }
      QCOMPARE(order.last(), static_cast<QWidget*>(w.ui.mem_status));
    }
  }

  void trayMenuItems() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    const QList<QAction*> items = w.pop_tray.actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("Restore"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("Close"));
    QCOMPARE(w.trayIcon.toolTip(), QStringLiteral("Zerval"));
  }

  void waitDialogLivesAsLongAsItsHandle() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    std::shared_ptr<void> handle = w.OpenWaitDialog();
    auto* wait = w.findChild<Tfrm_query*>();
    QVERIFY(wait);
    QCOMPARE(wait->parentWidget(), &w);
    QVERIFY(!wait->isWindow());
    QCOMPARE(wait->windowTitle(), QStringLiteral("Please Wait..."));
    QCOMPARE(wait->ui.lbl_wait->text(), QStringLiteral("Wait for reply..... Please Wait"));
    QVERIFY(wait->ui.lbl_wait->wordWrap());
    // The text shows whole: no line is cut at the label's top or bottom edge.
    const QImage text = wait->ui.lbl_wait->grab().toImage();
    auto inkInRow = [&text](int y) {
      for (int x = 0; x < text.width(); ++x)
        if (qGray(text.pixel(x, y)) < 128) return true;
      return false;
    };
    QVERIFY(!inkInRow(0) && !inkInRow(text.height() - 1));
    QVERIFY(inkInRow(text.height() / 2) || inkInRow(text.height() / 3));
    QVERIFY(wait->ui.lbl_wait->font().pixelSize() >= 20);
    QVERIFY(wait->isVisibleTo(&w));
    // A second wait inside the first keeps it open until both have ended.
    std::shared_ptr<void> inner = w.OpenWaitDialog();
    inner.reset();
    QVERIFY(wait->isVisibleTo(&w));
    handle.reset();
    QVERIFY(!wait->isVisibleTo(&w));
  }

  void timeoutSoundIsEightBitMonoPcm() {
    Tfrm_main w;  // registers the compiled-in resources
    QFile wave(QStringLiteral(":/sounds/TIMEOUT"));
    QVERIFY(wave.open(QIODevice::ReadOnly));
    const QByteArray bytes = wave.readAll();
    auto le = [&](int offset, int size) {
      quint32 value = 0;
      for (int i = size - 1; i >= 0; --i) value = value << 8 | quint8(bytes[offset + i]);
      return value;
    };
    QCOMPARE(bytes.left(4), QByteArray("RIFF"));
    QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(le(20, 2), 1u);      // PCM
    QCOMPARE(le(22, 2), 1u);      // mono
    QCOMPARE(le(24, 4), 22050u);  // samples per second
    QCOMPARE(le(34, 2), 8u);      // bits per sample
    QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
    QCOMPARE(le(40, 4), 33074u);
    QCOMPARE(bytes.size(), 44 + 33074);
  }

  void timeoutDialogText() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.ShowTimeoutDialog();
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Ziel nicht erreichbar!")});
    QCOMPARE(dialogs.shown[0].kind, DialogKind::Error);
  }

  void missingStandardListIsReportedOnce() {
    TOptions options;
    options.LoadListOnStartup = 1;
    options.StandardListFile = "fehlt.zsl";
    SaveOptions(options, QStringLiteral("config.dat"));
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    w.hide();
    w.show();
    QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("fehlt.zsl nicht gefunden")});
    QVERIFY(w.FirstShowDone);
    QCOMPARE(w.ActivePageIndex(), -1);
  }

  // A standard list that is no regular file (a FIFO would wait for a writer for ever) is
  // refused at the first showing, and the window opens.
  void standardListThatIsNoFileIsRefused() {
    const QString fifo = workDir.filePath(QStringLiteral("list.fifo"));
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TOptions options;
    options.LoadListOnStartup = 1;
    options.StandardListFile = QFile::encodeName(fifo).toStdString();
    SaveOptions(options, QStringLiteral("config.dat"));
    const FifoWriterVisit unblock(QFile::encodeName(fifo).toStdString());
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    QCOMPARE(dialogs.texts(), QStringList{"Invalid server list file " + fifo + "."});
    QVERIFY(w.isVisible() && w.FirstShowDone);
    QFile::remove(fifo);
  }

  // Options files that are no regular files are refused too, and the defaults stay.
  void optionFilesThatAreNoFilesAreRefused() {
    const std::string names[] = {"config.dat", "zerval.ini"};
    for (const std::string& name : names) QCOMPARE(mkfifo(name.c_str(), 0600), 0);
    const FifoWriterVisit unblockOptions(names[0]), unblockSettings(names[1]);
    ScriptedDialogs dialogs;
    Tfrm_main w;
    QCOMPARE(dialogs.texts().size(), 2);
    QCOMPARE(w.Options.Timeout, 5000);
    for (const std::string& name : names) QFile::remove(QString::fromStdString(name));
  }

  void freshStartHasDefaults() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.show();
    QCOMPARE(w.Options.StandardListFile.str(), std::string("none"));
    QCOMPARE(w.Options.Timeout, 5000);
    QVERIFY(!w.CurrentServer.ServerSelected && !w.CurrentServer.RconEnabled);
    QCOMPARE(w.UDPClient.ReceiveTimeout(), 5000);
    QVERIFY(dialogs.shown.empty());
  }
};

int main(int argc, char** argv) {
  ZervalApplication application(argc, argv);
  TestFrame test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_frame.moc"
