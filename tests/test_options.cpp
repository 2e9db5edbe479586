#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>

#include "filelimits.h"
#include "store/mytypes.h"
#include "store/savefiles.h"
#include "store/stdfuncs.h"

namespace {

// Every field differs from the defaults, the flags with non-canonical true values.
TOptions Changed() {
  TOptions options;
  options.LoadListOnStartup = 1;
  options.StandardListFile.assign("C:\\lists\\clan.zsl");
  options.ComboShowsNames = 2;
  options.Timeout = 123456;
  options.QueryOnStartup = 9;
  options.StartupServer = -7;
  options.TrayIcon = 255;
  return options;
}

void CompareOptions(const TOptions& actual, const TOptions& expected) {
  QCOMPARE(actual.LoadListOnStartup, expected.LoadListOnStartup);
  QCOMPARE(actual.StandardListFile.str(), expected.StandardListFile.str());
  QCOMPARE(actual.ComboShowsNames, expected.ComboShowsNames);
  QCOMPARE(actual.Timeout, expected.Timeout);
  QCOMPARE(actual.QueryOnStartup, expected.QueryOnStartup);
  QCOMPARE(actual.StartupServer, expected.StartupServer);
  QCOMPARE(actual.TrayIcon, expected.TrayIcon);
}

QByteArray ReadAll(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString Message(const EZerval& error) {
  return QString::fromLocal8Bit(error.what());
}

// Saves the options with a settings file of `settingsSize` bytes beside them; returns the
// error's message, empty when the save went through.
QString SaveWithSettings(const QDir& dir, TOptions& options, int settingsSize) {
  try {
    SaveOptions(options, dir.filePath("config.dat"),
                {{dir.filePath("zerval.ini"), std::string(settingsSize, 's')}});
  } catch (const EZerval& error) {
    return Message(error);
  }
  return {};
}

}  // namespace

class TestOptions : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(dir_.isValid()); }

  void defaultsAreSavedAsTheKnownBytes() {
    const QString fileName = dir_.filePath("config.dat");
    TOptions options;
    SaveOptions(options, fileName);

    QByteArray expected(268, '\0');
    expected.replace(1, 5, QByteArray("\x04none", 5));
    expected.replace(258, 4, QByteArray("\x88\x13\x00\x00", 4));
    expected.replace(263, 4, QByteArray(4, '\xFF'));
    QCOMPARE(ReadAll(fileName), expected);
  }

  void roundTripKeepsEveryValue() {
    const QString fileName = dir_.filePath("config.dat");
    TOptions saved = Changed();
    SaveOptions(saved, fileName);
    TOptions loaded;
    LoadOptions(loaded, fileName);
    CompareOptions(loaded, Changed());
  }

  void saveTrimsTheListName_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("trimmed");
    QTest::newRow("blanks") << QByteArray("  my list.zsl  ") << QByteArray("my list.zsl");
    QTest::newRow("control codes") << QByteArray("\t\x01x.zsl\r\n") << QByteArray("x.zsl");
    QTest::newRow("only blanks") << QByteArray("   ") << QByteArray();
    QTest::newRow("nothing to trim") << QByteArray("none") << QByteArray("none");
  }
  void saveTrimsTheListName() {
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, trimmed);
    const QString fileName = dir_.filePath("config.dat");
    TOptions options;
    options.StandardListFile = name.toStdString();
    SaveOptions(options, fileName);
    QCOMPARE(QByteArray::fromStdString(options.StandardListFile.str()), trimmed);
    const QByteArray bytes = ReadAll(fileName);
    QCOMPARE(std::uint8_t(bytes[1]), std::uint8_t(trimmed.size()));
    QCOMPARE(bytes.mid(2, trimmed.size()), trimmed);
    QCOMPARE(bytes.mid(2 + trimmed.size(), 255 - trimmed.size()),
             QByteArray(255 - trimmed.size(), '\0'));
  }

  // A field wholly inside a short file is loaded; one cut by its end keeps its old value.
  void shortFilesLoadTheFieldsInside() {
    const std::string full = OptionsToBytes(Changed());
    QCOMPARE(full.size(), OptionsFileSize);
    const TOptions changed = Changed();
    for (std::size_t size = 0; size <= full.size(); ++size) {
      TOptions options;
      OptionsFromBytes(std::string_view(full).substr(0, size), options);
      TOptions expected;
      if (size >= 1) expected.LoadListOnStartup = changed.LoadListOnStartup;
      if (size >= 257) expected.StandardListFile = changed.StandardListFile;
      if (size >= 258) expected.ComboShowsNames = changed.ComboShowsNames;
      if (size >= 262) expected.Timeout = changed.Timeout;
      if (size >= 263) expected.QueryOnStartup = changed.QueryOnStartup;
      if (size >= 267) expected.StartupServer = changed.StartupServer;
      if (size >= 268) expected.TrayIcon = changed.TrayIcon;
      CompareOptions(options, expected);
    }
  }

  void oneByteFileSetsOnlyTheFirstFlag() {
    const QString fileName = dir_.filePath("one.dat");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x01", 1);
    file.close();
    TOptions options;
    LoadOptions(options, fileName);
    TOptions expected;
    expected.LoadListOnStartup = 1;
    CompareOptions(options, expected);
  }

  void bytesAfterTheRecordAndTheNameAreIgnored() {
    std::string bytes = OptionsToBytes(Changed());
    bytes[1 + 1 + Changed().StandardListFile.size()] = 'J';
    bytes += "more";
    TOptions options;
    OptionsFromBytes(bytes, options);
    CompareOptions(options, Changed());
  }

  void fileErrorsNameTheFile() {
    const QString missing = dir_.filePath("nowhere/config.dat");
    TOptions options;
    options.StandardListFile.assign(" untrimmed ");
    try {
      LoadOptions(options, missing);
      QFAIL("loading a missing file succeeded");
    } catch (const EZerval& error) {
      QCOMPARE(Message(error), "Cannot open file " + missing);
    }
    // A parent directory that does not exist fails to create even for root; the options
    // stay as they were, untrimmed.
    try {
      SaveOptions(options, missing);
      QFAIL("saving into a missing directory succeeded");
    } catch (const EZerval& error) {
      QCOMPARE(Message(error), "Cannot create file " + missing);
    }
    QCOMPARE(options.StandardListFile.str(), std::string(" untrimmed "));
  }

  // Options and settings file are replaced together or not at all: a write that fails for the
  // second file leaves the first as it was.
  void bothFilesOrNeither() {
    const QTemporaryDir dir;
    const QDir folder(dir.path());
    TOptions options;
    QCOMPARE(SaveWithSettings(folder, options, 10), QString());
    const QByteArray config = ReadAll(folder.filePath("config.dat"));
    TOptions changed = Changed();
    {
      const FileSizeLimit limit(1000);
      QCOMPARE(SaveWithSettings(folder, changed, 2000),
               "Cannot write file " + folder.filePath("zerval.ini"));
    }
    QCOMPARE(ReadAll(folder.filePath("config.dat")), config);
    QCOMPARE(ReadAll(folder.filePath("zerval.ini")), QByteArray(10, 's'));
    QCOMPARE(folder.entryList(QDir::Files), (QStringList{"config.dat", "zerval.ini"}));
    QCOMPARE(SaveWithSettings(folder, changed, 20), QString());
    TOptions loaded;
    LoadOptions(loaded, folder.filePath("config.dat"));
    CompareOptions(loaded, Changed());
  }

  // In a folder that takes no new file, writable files are rewritten in place; when one of the
  // files is missing there, none is touched.
  void readOnlyFolderTakesWritableFilesOnly() {
    const QTemporaryDir dir;
    const QDir folder(dir.path());
    const QByteArray folderName = QFile::encodeName(dir.path());
    TOptions options;
    QCOMPARE(SaveWithSettings(folder, options, 10), QString());
    for (const QString& name : {QStringLiteral("config.dat"), QStringLiteral("zerval.ini")})
      QVERIFY(QFile::setPermissions(folder.filePath(name), QFile::Permissions(0x6666)));
    // Saves as a user who may write the files but not the folder; the second one after
    // "zerval.ini" is gone.
    auto saveInReadOnlyFolder = [&](TOptions& saved) {
      ::chmod(folderName.constData(), 0555);
      bool folderWritable = false;
      QString message;
      {
        const AsPlainUser plain;
        folderWritable = ::access(folderName.constData(), W_OK) == 0;
        message = SaveWithSettings(folder, saved, 20);
      }
      ::chmod(folderName.constData(), 0700);
      return folderWritable ? QStringLiteral("no user to run as") : message;
    };
    TOptions changed = Changed();
    const QString written = saveInReadOnlyFolder(changed);
    if (written == QStringLiteral("no user to run as")) QSKIP("root cannot drop its rights here");
    QVERIFY(QFile::remove(folder.filePath("zerval.ini")));
    const QString refused = saveInReadOnlyFolder(options);
    QCOMPARE(written, QString());
    QCOMPARE(refused, "Cannot create file " + folder.filePath("zerval.ini"));
    TOptions loaded;
    LoadOptions(loaded, folder.filePath("config.dat"));
    CompareOptions(loaded, Changed());
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestOptions)
#include "test_options.moc"
