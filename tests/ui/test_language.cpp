// One language at a time, as the locale chooses: this program runs under LANG=C, de_DE.UTF-8
// and en_US.UTF-8 and checks the window and the chat companion in the language in force.
#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <set>

#include "language.h"
#include "main.h"
#include "sandbox.h"
#include "scripteddialogs.h"
#include "talkarguments.h"
#include "talkwindow.h"

namespace {

// The language the environment asks for, as the test runs: "de", "en", or none.
QString AskedLanguage() {
  const QString lang = qEnvironmentVariable("LANG");
  return lang.startsWith(QStringLiteral("de")) || lang.startsWith(QStringLiteral("en"))
             ? lang.left(2)
             : QString();
}

// The texts of catalogue sources: every source text, and those that their translation changes
// with what it changes them to.
struct Catalogue {
  QSet<QString> sources;
  QSet<QString> changedSources;
  QSet<QString> changedTo;
};

void Read(Catalogue& catalogue, const QString& name) {
  QFile file(QStringLiteral(ZERVAL_SOURCE_DIR "/translations/") + name + ".ts");
  QVERIFY(file.open(QIODevice::ReadOnly));
  QXmlStreamReader ts(&file);
  QString source;
  while (!ts.atEnd()) {
    if (!ts.readNextStartElement()) continue;
    if (ts.name() == QLatin1String("source")) catalogue.sources << (source = ts.readElementText());
    if (ts.name() != QLatin1String("translation")) continue;
    const QString translation = ts.readElementText(QXmlStreamReader::IncludeChildElements);
    if (translation == source) continue;
    catalogue.changedSources << source;
    catalogue.changedTo << translation;
  }
}

// The captions of `root`'s buttons, check boxes, labels, group boxes, tabs, list headers, menu
// items and grid titles.
QStringList Captions(const QWidget& root) {
  QStringList texts;
  for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
    texts << button->text() << button->toolTip();
  for (const QLabel* label : root.findChildren<QLabel*>()) texts << label->text();
  for (const QGroupBox* box : root.findChildren<QGroupBox*>()) texts << box->title();
  for (const QTabWidget* tabs : root.findChildren<QTabWidget*>())
    for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
  for (const QTreeWidget* list : root.findChildren<QTreeWidget*>())
    for (int i = 0; i < list->columnCount(); ++i) texts << list->headerItem()->text(i);
  for (const QTableWidget* grid : root.findChildren<QTableWidget*>())
    for (int row = 0; row < grid->rowCount(); ++row)
      if (const QTableWidgetItem* title = grid->item(row, 0)) texts << title->text();
  texts.removeAll(QString());
  return texts;
}

// What the operator reaches with Alt and a letter on `page` (the frame's controls included):
// every button and check box, and every label with a buddy.
QList<const QWidget*> MnemonicControls(const QWidget& page) {
  QList<const QWidget*> controls;
  for (const QAbstractButton* button :
       page.findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
    if (!button->text().isEmpty()) controls << button;
  for (const QLabel* label : page.findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
    if (label->buddy() != nullptr) controls << label;
  return controls;
}

QString CaptionOf(const QWidget* control) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  return static_cast<const QLabel*>(control)->text();
}

// Every control has a mnemonic, and none is used twice on a page.
void CheckMnemonics(const QList<const QWidget*>& controls, const QString& where) {
  std::set<QKeySequence> used;
  for (const QWidget* control : controls) {
    const QKeySequence key = QKeySequence::mnemonic(CaptionOf(control));
    QVERIFY2(!key.isEmpty(), qPrintable(where + ": no mnemonic on " + CaptionOf(control)));
    QVERIFY2(used.insert(key).second, qPrintable(where + ": " + key.toString() + " twice"));
  }
}

}  // namespace

class TestLanguage : public QObject {
  Q_OBJECT

  QTemporaryDir workDir;
  QString language;

 private slots:
  void initTestCase() {
    EnterSandbox(workDir);
    const QStringList folders{QStringLiteral(ZERVAL_TRANSLATIONS_DIR)};
    language = InstallTranslations(*qApp, QStringLiteral("zerval"), folders).left(2);
    InstallTranslations(*qApp, QStringLiteral("zervtalk"), folders);
  }

  // Under C every text shows as written; in German or English none is left untranslated, and
  // numbers are written as the language writes them.
  void everyTextInTheChosenLanguage() {
    QCOMPARE(language, AskedLanguage());
    ScriptedDialogs dialogs;
    Tfrm_main w;
    w.ShowDetails(TDetailInfo());
    w.CurrentServer.BytesSent = 2632;
    w.UpdateByteCounter();
    w.ShowTimeoutDialog();
    TalkWindow talk(TalkArgumentsFor("127.0.0.1", 27015, "1", "pw", 0));
    const QStringList shown = Captions(w) + Captions(talk) + dialogs.texts();
    // Under C, compared with the German catalogue: no text of it may show.
    const QString suffix = language.isEmpty() ? QStringLiteral("_de") : "_" + language;
    Catalogue catalogue;
    Read(catalogue, "zerval" + suffix);
    Read(catalogue, "zervtalk" + suffix);
    for (const QString& text : shown) {
      const bool untranslated = !language.isEmpty() && catalogue.changedSources.contains(text) &&
                                !catalogue.changedTo.contains(text);
      const bool translated = language.isEmpty() && catalogue.changedTo.contains(text) &&
                              !catalogue.sources.contains(text);
      QVERIFY2(!untranslated && !translated, qPrintable(text));
    }
    const QHash<QString, QString> counter = {
        {QString(), QStringLiteral("Bytes Send: 2.632 / Bytes Recieved: 0")},
        {QStringLiteral("de"), QStringLiteral("Bytes gesendet: 2.632 / Bytes empfangen: 0")},
        {QStringLiteral("en"), QStringLiteral("Bytes sent: 2,632 / Bytes received: 0")}};
    QCOMPARE(w.ui.lbl_bytes->text(), counter[language]);
  }

  void mnemonicsDoNotClashWithinAPage() {
    ScriptedDialogs dialogs;
    Tfrm_main w;
    const QList<const QWidget*> frame = MnemonicControls(w);
    for (int page = 1; page < w.ui.pc_Server->count(); ++page) {
      const QWidget* content = w.ui.pc_Server->widget(page);
      CheckMnemonics(frame + MnemonicControls(*content), content->objectName());
    }
    TalkWindow talk(TalkArgumentsFor("127.0.0.1", 27015, "1", "pw", 0));
    CheckMnemonics(MnemonicControls(talk), talk.objectName());
  }
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
