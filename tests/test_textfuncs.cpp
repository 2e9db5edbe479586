#include <QByteArray>
#include <QtTest>
#include <cstdint>
#include <limits>
#include <string>

#include "store/IPfuncs.h"
#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

// The bytes of a literal, zero bytes inside it included.
template <std::size_t N>
QByteArray Raw(const char (&literal)[N]) {
  return QByteArray(literal, N - 1);
}

std::string Bytes(const QByteArray& data) {
  return data.toStdString();
}

}  // namespace

namespace QTest {
template <>
char* toString(const std::string& text) {
  return toString(QByteArray::fromStdString(text));
}
}  // namespace QTest

class TestTextFuncs : public QObject {
  Q_OBJECT

 private slots:
  void strToInt_data();
  void strToInt();
  void strToIntErrorNamesTheTextAsGiven();
  void formatThousands_data();
  void formatThousands();
  void removeSpacesAndTrim_data();
  void removeSpacesAndTrim();
  void isValidIP_data();
  void isValidIP();
  void hostStrings_data();
  void hostStrings();
};

void TestTextFuncs::strToInt_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<int>("value");

  const int min = std::numeric_limits<std::int32_t>::min();
  const int max = std::numeric_limits<std::int32_t>::max();
  QTest::newRow("zero") << QByteArray("0") << true << 0;
  QTest::newRow("port") << QByteArray("27015") << true << 27015;
  QTest::newRow("leading zeros") << QByteArray("000000000000000000007") << true << 7;
  QTest::newRow("leading blanks") << QByteArray("   42") << true << 42;
  QTest::newRow("plus") << QByteArray("+7") << true << 7;
  QTest::newRow("minus") << QByteArray("-1") << true << -1;
  QTest::newRow("max") << QByteArray("2147483647") << true << max;
  QTest::newRow("min") << QByteArray("-2147483648") << true << min;
  QTest::newRow("above max") << QByteArray("2147483648") << false << 0;
  QTest::newRow("below min") << QByteArray("-2147483649") << false << 0;
  QTest::newRow("far above max") << QByteArray("99999999999999999999") << false << 0;
  QTest::newRow("dollar hex") << QByteArray("$6987") << true << 27015;
  QTest::newRow("x hex") << QByteArray("x1F") << true << 31;
  QTest::newRow("X hex") << QByteArray("X1f") << true << 31;
  QTest::newRow("0x hex") << QByteArray("0x7FFFFFFF") << true << max;
  QTest::newRow("0X hex") << QByteArray("0X10") << true << 16;
  QTest::newRow("signed hex") << QByteArray("-$10") << true << -16;
  QTest::newRow("hex min") << QByteArray("-0x80000000") << true << min;
  QTest::newRow("hex blanks") << QByteArray("  +$a") << true << 10;
  QTest::newRow("hex above max") << QByteArray("$80000000") << false << 0;
  QTest::newRow("hex all ones") << QByteArray("$FFFFFFFF") << false << 0;
  QTest::newRow("empty") << QByteArray("") << false << 0;
  QTest::newRow("blanks only") << QByteArray("   ") << false << 0;
  QTest::newRow("sign only") << QByteArray("-") << false << 0;
  QTest::newRow("prefix only") << QByteArray("$") << false << 0;
  QTest::newRow("0x only") << QByteArray("0x") << false << 0;
  QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
  QTest::newRow("blank after sign") << QByteArray("- 5") << false << 0;
  QTest::newRow("trailing blank") << QByteArray("12 ") << false << 0;
  QTest::newRow("inner blank") << QByteArray("1 2") << false << 0;
  QTest::newRow("leading tab") << QByteArray("\t5") << false << 0;
  QTest::newRow("dot") << QByteArray("1.5") << false << 0;
  QTest::newRow("trailing letter") << QByteArray("12a") << false << 0;
  QTest::newRow("hex digit in decimal") << QByteArray("1F") << false << 0;
  QTest::newRow("bad hex digit") << QByteArray("$1G") << false << 0;
  QTest::newRow("sign after prefix") << QByteArray("0x-1") << false << 0;
  QTest::newRow("high byte") << QByteArray("1\xB2") << false << 0;
}

void TestTextFuncs::strToInt() {
  QFETCH(QByteArray, text);
  QFETCH(bool, valid);
  QFETCH(int, value);

  std::int32_t parsed = 4711;
  QCOMPARE(TryStrToInt(Bytes(text), parsed), valid);
  QCOMPARE(parsed, valid ? value : 4711);
  if (valid) {
    QCOMPARE(StrToInt(Bytes(text)), value);
  } else {
    QVERIFY_THROWS_EXCEPTION(EConvertError, StrToInt(Bytes(text)));
  }
}

void TestTextFuncs::strToIntErrorNamesTheTextAsGiven() {
  try {
    StrToInt("  12x ");
    QFAIL("no EConvertError");
  } catch (const EConvertError& error) {
    QCOMPARE(std::string(error.what()), std::string("'  12x ' is not a valid integer value"));
  }
}

void TestTextFuncs::formatThousands_data() {
  QTest::addColumn<int>("value");
  QTest::addColumn<QByteArray>("text");

  QTest::newRow("0") << 0 << QByteArray("0");
  QTest::newRow("999") << 999 << QByteArray("999");
  QTest::newRow("1000") << 1000 << QByteArray("1.000");
  QTest::newRow("9999") << 9999 << QByteArray("9.999");
  QTest::newRow("10000") << 10000 << QByteArray("10.000");
  QTest::newRow("99999") << 99999 << QByteArray("99.999");
  QTest::newRow("100000") << 100000 << QByteArray("100.000");
  QTest::newRow("one dot only") << 1234567 << QByteArray("1234.567");
  QTest::newRow("max") << std::numeric_limits<std::int32_t>::max() << QByteArray("2147483.647");
  QTest::newRow("-999") << -999 << QByteArray("-999");
  QTest::newRow("negative no dot") << -5000 << QByteArray("-5000");
  QTest::newRow("min") << std::numeric_limits<std::int32_t>::min() << QByteArray("-2147483648");
}

void TestTextFuncs::formatThousands() {
  QFETCH(int, value);
  QFETCH(QByteArray, text);
  QCOMPARE(FormatThousands(value), Bytes(text));
}

void TestTextFuncs::removeSpacesAndTrim_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QByteArray>("withoutSpaces");
  QTest::addColumn<QByteArray>("trimmed");

  QTest::newRow("blanks around and inside")
      << QByteArray("  a b  ") << QByteArray("ab") << QByteArray("a b");
  QTest::newRow("blanks only") << QByteArray("   ") << QByteArray("") << QByteArray("");
  QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("");
  QTest::newRow("tab stays for RemoveSpaces")
      << QByteArray("\ta b\t") << QByteArray("\tab\t") << QByteArray("a b");
  QTest::newRow("control characters")
      << Raw("\x01\r\n x \x1f") << Raw("\x01\r\nx\x1f") << QByteArray("x");
  QTest::newRow("zero bytes") << Raw("\0a\0") << Raw("\0a\0") << QByteArray("a");
  QTest::newRow("high bytes stay")
      << QByteArray("\xA0x\xFF") << QByteArray("\xA0x\xFF") << QByteArray("\xA0x\xFF");
}

void TestTextFuncs::removeSpacesAndTrim() {
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, withoutSpaces);
  QFETCH(QByteArray, trimmed);
  QCOMPARE(RemoveSpaces(Bytes(text)), Bytes(withoutSpaces));
  QCOMPARE(Trim(Bytes(text)), Bytes(trimmed));
}

void TestTextFuncs::isValidIP_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<bool>("valid");

  QTest::newRow("plain") << QByteArray("10.0.0.1") << true;
  QTest::newRow("short parts") << QByteArray("1.2.3.4") << true;
  QTest::newRow("no range check") << QByteArray("300.1.1.1") << true;
  QTest::newRow("negative part") << QByteArray("-1.0.0.1") << true;
  QTest::newRow("hex part") << QByteArray("$A.0.0.1") << true;
  QTest::newRow("leading blank in part") << QByteArray("10. 0.0.1") << true;
  QTest::newRow("two dots") << QByteArray("1.2.3") << false;
  QTest::newRow("no dots") << QByteArray("1234") << false;
  QTest::newRow("empty part") << QByteArray("1..3.4") << false;
  QTest::newRow("empty last part") << QByteArray("1.2.3.") << false;
  QTest::newRow("five parts") << QByteArray("10.0.0.1.5") << false;
  QTest::newRow("last part too long") << QByteArray("1.2.3.1234") << false;
  QTest::newRow("trailing blank") << QByteArray("1.2.3.4 ") << false;
  QTest::newRow("letters") << QByteArray("a.b.c.d") << false;
  QTest::newRow("empty") << QByteArray("") << false;
}

void TestTextFuncs::isValidIP() {
  QFETCH(QByteArray, text);
  QFETCH(bool, valid);
  QCOMPARE(IsValidIP(Bytes(text)), valid);
}

void TestTextFuncs::hostStrings_data() {
  QTest::addColumn<QByteArray>("host");
  QTest::addColumn<bool>("ipRefused");
  QTest::addColumn<QByteArray>("ip");
  QTest::addColumn<bool>("portRefused");
  QTest::addColumn<int>("port");

  QTest::newRow("plain") << QByteArray("10.0.0.1:27015") << false << QByteArray("10.0.0.1") << false
                         << 27015;
  QTest::newRow("blanks around and at colon")
      << QByteArray("  10.0.0.1 : 27015  ") << false << QByteArray("10.0.0.1") << false << 27015;
  QTest::newRow("control characters around")
      << QByteArray("\t10.0.0.1:27015\r\n") << false << QByteArray("10.0.0.1") << false << 27015;
  QTest::newRow("blank inside ip")
      << QByteArray("10. 0.0.1:27015") << false << QByteArray("10.0.0.1") << false << 27015;
  QTest::newRow("seven characters")
      << QByteArray("1.2.3.4:27015") << false << QByteArray("1.2.3.4") << false << 27015;
  QTest::newRow("seven characters, another")
      << QByteArray("8.8.8.8:27015") << false << QByteArray("8.8.8.8") << false << 27015;
  QTest::newRow("seven characters after blank removal")
      << QByteArray("1.2.3.4 :1") << false << QByteArray("1.2.3.4") << false << 1;
  QTest::newRow("six characters") << QByteArray("1.2.34:1") << false << QByteArray() << false << 1;
  QTest::newRow("seven characters, three dots missing")
      << QByteArray("1.2.345:1") << true << QByteArray() << false << 1;
  QTest::newRow("fifteen characters")
      << QByteArray("255.255.255.255:1") << false << QByteArray("255.255.255.255") << false << 1;
  QTest::newRow("part above 255") << QByteArray("1000.1.1.1:1") << false << QByteArray("1000.1.1.1")
                                  << false << 1;
  QTest::newRow("all parts above 255") << QByteArray("999.999.999.999:27015") << false
                                       << QByteArray("999.999.999.999") << false << 27015;
  QTest::newRow("sixteen characters")
      << QByteArray("100.100.100.1000:1") << true << QByteArray() << false << 1;
  QTest::newRow("five parts") << QByteArray("10.0.0.1.5:27015") << true << QByteArray() << false
                              << 27015;
  QTest::newRow("no port") << QByteArray("10.0.0.1") << false << QByteArray() << true << 0;
  QTest::newRow("port only") << QByteArray("27015") << false << QByteArray() << false << 27015;
  QTest::newRow("empty") << QByteArray("") << false << QByteArray() << true << 0;
  QTest::newRow("long name") << QByteArray("gameserver:27015") << true << QByteArray() << false
                             << 27015;
  QTest::newRow("seven letters") << QByteArray("abcdefg:1") << true << QByteArray() << false << 1;
  QTest::newRow("six letters") << QByteArray("abcdef:1") << false << QByteArray() << false << 1;
  QTest::newRow("colon and nothing")
      << QByteArray("10.0.0.1:") << false << QByteArray("10.0.0.1") << true << 0;
  QTest::newRow("colon and letters")
      << QByteArray("10.0.0.1:abc") << false << QByteArray("10.0.0.1") << true << 0;
  QTest::newRow("second colon") << QByteArray("10.0.0.1:27015:2") << false << QByteArray("10.0.0.1")
                                << true << 0;
  QTest::newRow("negative port") << QByteArray("10.0.0.1:-1") << false << QByteArray("10.0.0.1")
                                 << false << -1;
  QTest::newRow("port above 65535")
      << QByteArray("10.0.0.1:70000") << false << QByteArray("10.0.0.1") << false << 70000;
  QTest::newRow("hex port") << QByteArray("10.0.0.1:$6987") << false << QByteArray("10.0.0.1")
                            << false << 27015;
}

void TestTextFuncs::hostStrings() {
  QFETCH(QByteArray, host);
  QFETCH(bool, ipRefused);
  QFETCH(QByteArray, ip);
  QFETCH(bool, portRefused);
  QFETCH(int, port);

  if (ipRefused) {
    QVERIFY_THROWS_EXCEPTION(EInvalidIP, ExtractIP(Bytes(host)));
  } else {
    QCOMPARE(ExtractIP(Bytes(host)), Bytes(ip));
  }
  if (portRefused) {
    QVERIFY_THROWS_EXCEPTION(EInvalidHostString, ExtractPort(Bytes(host)));
  } else {
    QCOMPARE(ExtractPort(Bytes(host)), port);
  }
}

QTEST_APPLESS_MAIN(TestTextFuncs)
#include "test_textfuncs.moc"
