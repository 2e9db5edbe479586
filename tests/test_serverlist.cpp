#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>
#include <string_view>

#include "filelimits.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

TServerEntry Entry(std::string_view name, std::string_view address, std::uint8_t hasPassword = 0,
                   std::string_view password = "") {
  TServerEntry entry;
  entry.Name.assign(name);
  entry.Address.assign(address);
  entry.HasPassword = hasPassword;
  entry.Password.assign(password);
  return entry;
}

// Three entries of every kind: with a password, without, and with an unusual password flag.
TServerList Sample() {
  return {Entry("Alpha", "10.0.0.1:27015", 1, "secret"), Entry("Beta", "10.0.0.2:27016"),
          Entry(std::string(50, 'N'), "192.168.100.200:65535", 7, std::string(20, 'p'))};
}

std::string Names(const TServerList& list) {
  std::string names;
  for (const TServerEntry& entry : list) names += entry.Name.str() + ";";
  return names;
}

void CompareLists(const TServerList& actual, const TServerList& expected) {
  QCOMPARE(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    QCOMPARE(actual[i].Name.str(), expected[i].Name.str());
    QCOMPARE(actual[i].Address.str(), expected[i].Address.str());
    QCOMPARE(actual[i].HasPassword, expected[i].HasPassword);
    QCOMPARE(actual[i].Password.str(), expected[i].Password.str());
  }
}

std::string Field(std::uint8_t length, const std::string& text, std::size_t capacity) {
  std::string field(1 + capacity, '\0');
  field[0] = static_cast<char>(length);
  field.replace(1, text.size(), text);
  return field;
}

std::string Count(std::int32_t count) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>(static_cast<std::uint32_t>(count) >> (8 * i));
  return bytes;
}

QByteArray ReadAll(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void WriteAll(const QString& fileName, const std::string& bytes) {
  QFile file(fileName);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes.data(), bytes.size()), qint64(bytes.size()));
}

// The message of the EZerval that `action` raises; empty when it raises none.
template <typename Action>
QString ErrorOf(Action action) {
  try {
    action();
  } catch (const EZerval& error) {
    return QString::fromLocal8Bit(error.what());
  }
  return {};
}

}  // namespace

class TestServerList : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(dir_.isValid()); }

  void emptyStoreIsFourZeroBytes() {
    const QString fileName = dir_.filePath("empty.zsl");
    SaveServerList({}, fileName);
    QCOMPARE(ReadAll(fileName), QByteArray(4, '\0'));
    TServerList list = Sample();
    LoadServerList(list, fileName);
    QVERIFY(list.empty());
  }

  void singleEntryLayout_data() {
    QTest::addColumn<int>("hasPassword");
    QTest::addColumn<int>("size");
    QTest::newRow("without password") << 0 << 82;
    QTest::newRow("with password") << 1 << 103;
  }
  void singleEntryLayout() {
    QFETCH(int, hasPassword);
    QFETCH(int, size);
    const QString fileName = dir_.filePath("one.zsl");
    SaveServerList({Entry("A", "10.0.0.1:27015", hasPassword, hasPassword ? "abcde" : "")},
                   fileName);

    std::string expected = Count(1) + Field(1, "A", 50) + Field(14, "10.0.0.1:27015", 25);
    expected.push_back(static_cast<char>(hasPassword));
    if (hasPassword) expected += Field(5, "abcde", 20);
    QCOMPARE(expected.size(), std::size_t(size));
    QCOMPARE(ReadAll(fileName), QByteArray::fromStdString(expected));
  }

  void roundTripKeepsEntriesAndPasswordFlags() {
    const QString fileName = dir_.filePath("sample.zsl");
    SaveServerList(Sample(), fileName);
    TServerList loaded;
    LoadServerList(loaded, fileName);
    CompareLists(loaded, Sample());
  }

  void passwordWithoutFlagIsNotStored() {
    TServerList list = {Entry("A", "10.0.0.1:1", 0, "stale")};
    TServerList loaded;
    ServerListFromBytes(ServerListToBytes(list), loaded, "x.zsl");
    QCOMPARE(loaded.size(), std::size_t(1));
    QVERIFY(loaded[0].Password.empty());
  }

  void bytesAfterTextsAreIgnored() {
    std::string name = Field(2, "ab", 50), address = Field(3, "1:2", 25),
                password = Field(1, "q", 20);
    name.replace(3, 5, "junk!");
    address.back() = 'z';
    password.back() = 'y';
    TServerList loaded;
    ServerListFromBytes(Count(1) + name + address + '\x01' + password, loaded, "x.zsl");
    CompareLists(loaded, {Entry("ab", "1:2", 1, "q")});
  }

  void bytesAfterLastEntryAreIgnored() {
    TServerList loaded;
    ServerListFromBytes(ServerListToBytes(Sample()) + "trailing", loaded, "x.zsl");
    CompareLists(loaded, Sample());
  }

  void everyTruncationIsRefusedAndKeepsTheList() {
    const std::string bytes = ServerListToBytes(Sample());
    const TServerList before = {Entry("Keep", "127.0.0.1:1")};
    for (std::size_t size = 1; size < bytes.size(); ++size) {
      TServerList list = before;
      QVERIFY_THROWS_EXCEPTION(EZerval,
                               ServerListFromBytes(bytes.substr(0, size), list, "cut.zsl"));
      CompareLists(list, before);
    }
  }

  void badCountsAreRefused_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("negative") << -1;
    QTest::newRow("most negative") << INT32_MIN;
    QTest::newRow("largest") << INT32_MAX;
    QTest::newRow("one more than present") << 2;
  }
  void badCountsAreRefused() {
    QFETCH(int, count);
    std::string bytes = ServerListToBytes({Entry("A", "10.0.0.1:27015")});
    bytes.replace(0, 4, Count(count));
    TServerList list = Sample();
    QVERIFY_THROWS_EXCEPTION(EZerval, ServerListFromBytes(bytes, list, "count.zsl"));
    CompareLists(list, Sample());
  }

  void lengthByteAboveCapacityIsRefused_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("length");
    QTest::newRow("name") << 4 << 51;
    QTest::newRow("address") << 4 + 51 << 26;
    QTest::newRow("password") << 4 + 78 << 21;
    QTest::newRow("password 255") << 4 + 78 << 255;
  }
  void lengthByteAboveCapacityIsRefused() {
    QFETCH(int, offset);
    QFETCH(int, length);
    std::string bytes = ServerListToBytes({Entry("A", "10.0.0.1:27015", 1, "pw")});
    bytes[offset] = static_cast<char>(length);
    TServerList list = Sample();
    QVERIFY_THROWS_EXCEPTION(EZerval, ServerListFromBytes(bytes, list, "length.zsl"));
    CompareLists(list, Sample());
  }

  void failedLoadNamesTheFileAndKeepsTheList() {
    const QString fileName = dir_.filePath("short.zsl");
    WriteAll(fileName, ServerListToBytes(Sample()).substr(0, 100));
    TServerList list = {Entry("Keep", "127.0.0.1:1")};
    QCOMPARE(ErrorOf([&] { LoadServerList(list, fileName); }),
             "Invalid server list file " + fileName);
    CompareLists(list, {Entry("Keep", "127.0.0.1:1")});
  }

  void missingFilesRaiseTheirMessages() {
    const QString missing = dir_.filePath("nowhere/list.zsl");
    TServerList list = Sample();
    QCOMPARE(ErrorOf([&] { LoadServerList(list, missing); }), "Cannot open file " + missing);
    CompareLists(list, Sample());
    QVERIFY_THROWS_EXCEPTION(EZerval, LoadServerList(list, dir_.path()));
    CompareLists(list, Sample());
    // A parent directory that does not exist fails to create even for root.
    QCOMPARE(ErrorOf([&] { SaveServerList(list, missing); }), "Cannot create file " + missing);
  }

  // Only regular files of at most 64 MiB are read, and nothing of anything else: a FIFO
  // would wait for a writer for ever, a device like /dev/zero never ends.
  void onlyBoundedRegularFilesAreRead_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("endless device") << "device";
    QTest::newRow("folder") << "folder";
    QTest::newRow("one byte over 64 MiB") << "large";
  }
  void onlyBoundedRegularFilesAreRead() {
    QFETCH(QString, kind);
    QString fileName = dir_.filePath(kind);
    if (kind == "fifo") QCOMPARE(mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
    if (kind == "device") fileName = "/dev/zero";
    if (kind == "folder") QVERIFY(QDir(dir_.path()).mkdir(kind));
    if (kind == "large") {
      QFile file(fileName);
      QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MaxServerListFileSize + 1));
    }
    const FifoWriterVisit unblock(QFile::encodeName(fileName).toStdString());
    TServerList list = Sample();
    QCOMPARE(ErrorOf([&] { LoadServerList(list, fileName); }),
             "Invalid server list file " + fileName);
    CompareLists(list, Sample());
  }

  void fileOfExactly64MiBIsRead() {
    const QString fileName = dir_.filePath("limit.zsl");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(MaxServerListFileSize));
    file.close();
    TServerList list = Sample();
    LoadServerList(list, fileName);
    QVERIFY(list.empty());
  }

  // A new list file holds passwords, so only its owner may read it; an existing one keeps its
  // mode.
  void newListFilesAreTheOwnersOnly() {
    const QString created = dir_.filePath("new.zsl");
    SaveServerList(Sample(), created);
    // Owner, group and others; Qt adds the running user's rights as flags of their own.
    const QFile::Permissions classes(0x7077);
    QCOMPARE(QFile::permissions(created) & classes, QFile::ReadOwner | QFile::WriteOwner);
    const QString shared = dir_.filePath("shared.zsl");
    WriteAll(shared, "");
    const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QVERIFY(QFile::setPermissions(shared, mode));
    SaveServerList(Sample(), shared);
    QCOMPARE(QFile::permissions(shared) & classes, mode);
  }

  void failedWriteKeepsTheOldFile() {
    const QTemporaryDir dir;
    const QString fileName = dir.filePath("old.zsl");
    SaveServerList({Entry("Old", "10.0.0.9:27015")}, fileName);
    const QByteArray old = ReadAll(fileName);
    {
      const FileSizeLimit limit(old.size() + 10);
      QCOMPARE(ErrorOf([&] { SaveServerList(Sample(), fileName); }),
               "Cannot write file " + fileName);
    }
    QCOMPARE(ReadAll(fileName), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.zsl"});
  }

  void deleteServer_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("remaining");
    QTest::newRow("first") << 3 << 0 << "1;2;";
    QTest::newRow("middle") << 3 << 1 << "0;2;";
    QTest::newRow("last") << 3 << 2 << "0;1;";
    QTest::newRow("only") << 1 << 0 << "";
  }
  void deleteServer() {
    QFETCH(int, count);
    QFETCH(int, index);
    QFETCH(QString, remaining);
    TServerList list;
    for (int i = 0; i < count; ++i)
      list.push_back(Entry(std::to_string(i), "10.0.0.1:1", i % 2, "pw"));
    DeleteServer(list, index);
    QCOMPARE(QString::fromStdString(Names(list)), remaining);
    for (const TServerEntry& entry : list)
      QCOMPARE(entry.HasPassword, std::uint8_t(std::stoi(entry.Name.str()) % 2));
  }

  void deleteOutsideTheListIsRefused() {
    TServerList list = Sample();
    QVERIFY_THROWS_EXCEPTION(EZerval, DeleteServer(list, 3));
    QVERIFY_THROWS_EXCEPTION(EZerval, DeleteServer(list, -1));
    CompareLists(list, Sample());
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestServerList)
#include "test_serverlist.moc"
