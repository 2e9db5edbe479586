// The result views: the details, players and rules pages, the player details, the byte counter
// and the painted grids.
#include <QApplication>
#include <QColor>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QStyle>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdlib>
#include <string>
#include <vector>

#include "griddelegates.h"
#include "main.h"
#include "queryreplies.h"

using namespace queryreplies;

namespace {

using Rows = QList<QStringList>;

// The texts of a grid, row by row; an empty text for a cell without an item.
Rows GridTexts(const QTableWidget* grid) {
  Rows rows;
  for (int row = 0; row < grid->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < grid->columnCount(); ++column) {
      const QTableWidgetItem* item = grid->item(row, column);
      cells << (item ? item->text() : QString());
    }
    rows << cells;
  }
  return rows;
}

QStringList Column(const QTableWidget* grid, int column) {
  QStringList cells;
  for (const QStringList& row : GridTexts(grid)) cells << row.at(column);
  return cells;
}

// A title row kept in place is painted by the grid's header, the other rows by its viewport.
QWidget* CellSurface(const QTableWidget& grid, int row) {
  return grid.isRowHidden(row) ? grid.horizontalHeader()->viewport() : grid.viewport();
}

QRect CellRect(const QTableWidget& grid, int row, int column) {
  if (!grid.isRowHidden(row)) return grid.visualRect(grid.model()->index(row, column));
  const QHeaderView* titles = grid.horizontalHeader();
  return {titles->sectionViewportPosition(column), 0, titles->sectionSize(column),
          titles->height()};
}

// Pixels inside the cell's lines dark enough to be black text.
int DarkPixels(const QTableWidget& grid, int row, int column) {
  const QImage image = CellSurface(grid, row)->grab().toImage();
  const QRect cell = CellRect(grid, row, column).adjusted(0, 0, -2, -2);
  int dark = 0;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x)
      if (qGray(image.pixel(x, y)) < 80) ++dark;
  return dark;
}

TRuleList Rules(int count) {
  TRuleList rules;
  rules.Count = static_cast<std::int16_t>(count);
  for (int i = 1; i <= count; ++i) {
    TRuleItem rule;
    rule.Name = "rule" + std::to_string(i);
    rule.Value = "value" + std::to_string(i);
    rules.Items.push_back(rule);
  }
  return rules;
}

// Shows the window with the page that holds `grid`.
void ShowPageOf(Tfrm_main& w, QWidget* grid) {
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  for (QWidget* page = grid; page != nullptr; page = page->parentWidget())
    if (w.ui.pc_Server->indexOf(page) >= 0) w.ui.pc_Server->setCurrentWidget(page);
}

TPlayerList Players(const std::vector<Player>& players) {
  TPlayerList list;
  list.Count = static_cast<std::uint8_t>(players.size());
  for (const Player& p : players) {
    TPlayerItem item;
    item.Name = p.name;
    item.Frags = p.frags;
    list.Items.push_back(item);
  }
  return list;
}

std::vector<std::string> StatusLines(const std::vector<std::string>& playerLines) {
  std::vector<std::string> lines(7, "head");
  lines.insert(lines.end(), playerLines.begin(), playerLines.end());
  lines.push_back("end");
  return lines;
}

}  // namespace

class TestViews : public QObject {
  Q_OBJECT

 private slots:
  void detailsFollowEachServer();
  void playerNamesAndFrags();
  void playersReplyWithoutPlayersEmptiesList();
  void rulesGrid_data();
  void rulesGrid();
  void playerDetailsFollowSelection();
  void byteCounter_data();
  void byteCounter();
  void gridsAsCreated();
  void paintedCells_data();
  void paintedCells();
  void gridsFollowThePalette_data();
  void gridsFollowThePalette();
  void a2sDetailsRows();
  void rulesTitleRowStaysAndRowsAndColumnsMove();
};

// A server with a mod block fills twelve rows; the next one without goes back to seven, so no
// mod rows of the first are shown as the second's.
void TestViews::detailsFollowEachServer() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer modServer;
  TDetailInfo& mod = modServer.details;
  mod.ServerName = "Z\xC3\xBCrich Mod";  // UTF-8
  mod.PlayerCount = 14;
  mod.MaxPlayers = 16;
  mod.ServerType = 'l';
  mod.ServerOS = 'w';
  mod.HasPassword = 1;
  mod.IsMod = 1;
  mod.ModInfoUrl = "http://mod.example/";
  mod.ModVersion = 2;
  mod.ModSize = 184000;
  mod.ModServerOnly = 1;
  GameServer plainServer;
  plainServer.details.ServerName = "K\xF6ln";  // Latin-1
  window.AddServer("Mod", modServer);
  window.AddServer("Plain", plainServer);

  window.Choose(0);
  const Rows expectedMod = {
      {"Server Name", "Zürich Mod"},
      {"Server IP", "127.0.0.1:27015"},
      {"Game", "Ironworks"},
      {"running Map", "crossfire"},
      {"Player connected / max", "14/16"},
      {"Password", "Yes"},
      {"Server Type / OS", "Linsten / Windows"},
      {"Mod URL / Download URL", "http://mod.example/ / none"},
      {"Mod Size", "184000"},
      {"Mod Version", "2"},
      {"\"Serveronly\" Mod", "Yes"},
      {"Clientside Mod", "No"},
  };
  QCOMPARE(GridTexts(w.uiDetails.sg_details), expectedMod);

  window.Choose(1);
  const Rows expectedPlain = {
      {"Server Name", "Köln"},
      {"Server IP", "127.0.0.1:27015"},
      {"Game", "Ironworks"},
      {"running Map", "crossfire"},
      {"Player connected / max", "3/8"},
      {"Password", "No"},
      {"Server Type / OS", "Dedicated / Linux"},
  };
  QCOMPARE(GridTexts(w.uiDetails.sg_details), expectedPlain);
}

void TestViews::playerNamesAndFrags() {
  Window window;
  Tfrm_main& w = *window.w;
  GameServer server;
  const std::string cutName = std::string(49, 'a') + "\xC3\xB6";  // 51 bytes, cut to 50
  server.players = {{"Alpha", 12}, {"J\xC3\xB6rg", -3}, {"J\xF6rg", 0}, {cutName, 7}};
  window.Choose(window.AddServer("Test", server));

  const QTreeWidget* list = w.uiPlayers.lv_players;
  QCOMPARE(list->topLevelItemCount(), 4);
  const QStringList names = {"Alpha", "Jörg", "Jörg", QString(49, QLatin1Char('a'))};
  const QStringList frags = {"12", "-3", "0", "7"};
  const QList<QByteArray> bytes = {"Alpha", "J\xC3\xB6rg", "J\xF6rg",
                                   QByteArray(cutName.data(), 50)};
  for (int row = 0; row < 4; ++row) {
    const QTreeWidgetItem* item = list->topLevelItem(row);
    QCOMPARE(item->text(0), names[row]);
    QCOMPARE(item->text(1), frags[row]);
    QCOMPARE(item->textAlignment(1), int(Qt::AlignCenter));
    QCOMPARE(item->data(0, Tfrm_main::PlayerNameRole).toByteArray(), bytes[row]);
  }
}

void TestViews::playersReplyWithoutPlayersEmptiesList() {
  Window window;
  Tfrm_main& w = *window.w;
  w.ShowPlayers(Players({{"Alpha", 1}, {"Beta", 2}}));
  w.ShowPlayers(TPlayerList());
  QCOMPARE(w.uiPlayers.lv_players->topLevelItemCount(), 0);
}

void TestViews::rulesGrid_data() {
  QTest::addColumn<int>("count");
  QTest::newRow("three rules") << 3;
  QTest::newRow("no rules") << 0;
}

void TestViews::rulesGrid() {
  QFETCH(int, count);
  Window window;
  Tfrm_main& w = *window.w;
  Rows expected = {{"Rule", "Value"}};
  for (int i = 1; i <= count; ++i)
    expected << QStringList{QStringLiteral("rule%1").arg(i), QStringLiteral("value%1").arg(i)};
  QCOMPARE(w.uiRules.sg_rules->rowCount(), 35);

  w.ShowRules(Rules(count));

  QCOMPARE(GridTexts(w.uiRules.sg_rules), expected);
}

// A selected row shows the status record of the same player, found by name whatever the
// order of the two lists; a player missing from the table changes nothing.
void TestViews::playerDetailsFollowSelection() {
  Window window;
  Tfrm_main& w = *window.w;
  QTreeWidget* list = w.uiPlayers.lv_players;
  const QTableWidget* details = w.uiPlayers.sg_addplayerinfo;
  const QStringList titles = {"Nick", "ID", "WonID", "frags", "ping", "loss", "time", "IP"};
  w.ShowPlayers(Players({{"Gamma", 0}, {"B\xE9ta", 5}, {"Alpha", 1}}));

  list->setCurrentItem(list->topLevelItem(2));
  QCOMPARE(Column(details, 1), QStringList(8, QString()));

  w.PlayerInfo.ParseStatus(
      StatusLines({"# 1 \"Alpha\" 11 STEAM_0:0:11 1 00:10 20 0 10.0.0.4:27005",
                   "# 2 \"B\xE9ta\" 12 STEAM_0:0:12 5 01:02 48 1 10.0.0.5:27005"}));
  list->setCurrentItem(list->topLevelItem(1));
  QCOMPARE(Column(details, 1), (QStringList{"\"Béta\"", "12", "STEAM_0:0:12", "5", "48ms", "1",
                                            "01:02", "10.0.0.5:27005"}));

  list->setCurrentItem(list->topLevelItem(2));
  const QStringList alpha = {"\"Alpha\"", "11", "STEAM_0:0:11", "1",
                             "20ms",      "0",  "00:10",        "10.0.0.4:27005"};
  QCOMPARE(Column(details, 1), alpha);

  list->setCurrentItem(list->topLevelItem(0));
  QCOMPARE(Column(details, 1), alpha);

  w.ClearPlayerDetails();
  QCOMPARE(Column(details, 1), QStringList(8, QString()));
  QCOMPARE(Column(details, 0), titles);
}

void TestViews::byteCounter_data() {
  QTest::addColumn<int>("sent");
  QTest::addColumn<int>("received");
  QTest::addColumn<QString>("caption");
  QTest::newRow("nothing yet") << 0 << 0 << QStringLiteral("Bytes Send: 0 / Bytes Recieved: 0");
  QTest::newRow("at the limit and one above")
      << 100000 << 100001 << QStringLiteral("Bytes Send: 100.000 / Bytes Recieved: 100k");
  QTest::newRow("thousands") << 12345 << 2000999
                             << QStringLiteral("Bytes Send: 12.345 / Bytes Recieved: 2.000k");
}

void TestViews::byteCounter() {
  QFETCH(int, sent);
  QFETCH(int, received);
  QFETCH(QString, caption);
  Window window;
  Tfrm_main& w = *window.w;
  w.CurrentServer.BytesSent = sent;
  w.CurrentServer.BytesReceived = received;
  w.UpdateByteCounter();
  QCOMPARE(w.ui.lbl_bytes->text(), caption);
}

void TestViews::gridsAsCreated() {
  Window window;
  Tfrm_main& w = *window.w;
  QCOMPARE(w.ui.lbl_bytes->text(), QStringLiteral("Bytes Send: 0 / Bytes Recieved: 0"));

  const QTableWidget* info = w.uiPlayers.sg_addplayerinfo;
  QCOMPARE(Column(info, 0),
           (QStringList{"Nick", "ID", "WonID", "frags", "ping", "loss", "time", "IP"}));
  QCOMPARE(info->columnWidth(0), 64);
  QCOMPARE(info->columnWidth(1), 278);

  Rows bans(10, QStringList{QString(), QString()});
  bans[0] = QStringList{"WonID / IP", "Time"};
  QCOMPARE(GridTexts(w.uiPlayers.sg_banoverv), bans);

  QCOMPARE(w.uiDetails.sg_details->rowCount(), 7);
  for (const QTableWidget* grid : {w.uiDetails.sg_details, w.uiRules.sg_rules,
                                   w.uiPlayers.sg_addplayerinfo, w.uiPlayers.sg_banoverv})
    QCOMPARE(grid->rowHeight(1), 15);
  QCOMPARE(w.uiRules.sg_rules->horizontalHeader()->height(), 15);

  const QTreeWidget* list = w.uiPlayers.lv_players;
  QCOMPARE(list->columnWidth(0), 264);
  QCOMPARE(list->columnWidth(1), 38);
  QVERIFY(!list->header()->sectionsClickable());
}

void TestViews::paintedCells_data() {
  QTest::addColumn<QString>("grid");
  QTest::addColumn<int>("row");
  QTest::addColumn<int>("column");
  QTest::addColumn<bool>("fixed");
  QTest::addColumn<bool>("wideLines");
  QTest::newRow("details") << QStringLiteral("sg_details") << 0 << 0 << false << true;
  QTest::newRow("rules title") << QStringLiteral("sg_rules") << 0 << 1 << true << true;
  QTest::newRow("rules value") << QStringLiteral("sg_rules") << 1 << 0 << false << true;
  QTest::newRow("player detail title")
      << QStringLiteral("sg_addplayerinfo") << 3 << 0 << true << true;
  QTest::newRow("player detail value")
      << QStringLiteral("sg_addplayerinfo") << 3 << 1 << false << true;
  QTest::newRow("ban title") << QStringLiteral("sg_banoverv") << 0 << 0 << true << false;
  QTest::newRow("ban cell") << QStringLiteral("sg_banoverv") << 2 << 1 << false << false;
}

// Fixed cells are light grey, the others white, whatever their selection; the grids have
// two-pixel lines except the ban grid.
void TestViews::paintedCells() {
  QFETCH(QString, grid);
  QFETCH(int, row);
  QFETCH(int, column);
  QFETCH(bool, fixed);
  QFETCH(bool, wideLines);
  Window window;
  Tfrm_main& w = *window.w;
  w.ShowRules(Rules(1));
  auto* table = w.findChild<QTableWidget*>(grid);
  QVERIFY(table != nullptr);
  ShowPageOf(w, table);

  const QImage image = CellSurface(*table, row)->grab().toImage();
  const QRect cell = CellRect(*table, row, column);
  const QColor inside = image.pixelColor(cell.right() - 3, cell.bottom() - 3);
  QCOMPARE(inside, fixed ? QColor(0xC0C0C0) : QColor(Qt::white));
  const QColor edge = image.pixelColor(cell.right(), cell.center().y());
  QCOMPARE(edge == inside, !wideLines);
}

void TestViews::gridsFollowThePalette_data() {
  QTest::addColumn<bool>("dark");
  QTest::newRow("light") << false;
  QTest::newRow("dark") << true;
}

// In Fusion, with its light palette or a dark one, the cells take the palette's base colour,
// the title cells a shade towards the text colour, and the text stands out on both.
void TestViews::gridsFollowThePalette() {
  QFETCH(bool, dark);
  const QPalette original = QApplication::palette();
  QApplication::setStyle(QStringLiteral("Fusion"));
  QPalette palette = QApplication::style()->standardPalette();
  if (dark) {
    palette.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    palette.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
      palette.setColor(role, QColor(0xF0, 0xF0, 0xF0));
  }
  QApplication::setPalette(palette);
  Window window;
  Tfrm_main& w = *window.w;
  TDetailInfo details;
  details.ServerName = "Night";
  w.ShowDetails(details);
  w.ShowRules(Rules(1));
  struct Cell {
    QTableWidget* grid;
    int row;
    int column;
    bool fixed;
  };
  const Cell cells[] = {{w.uiDetails.sg_details, 0, 1, false},
                        {w.uiRules.sg_rules, 0, 1, true},
                        {w.uiRules.sg_rules, 1, 1, false},
                        {w.uiPlayers.sg_addplayerinfo, 0, 0, true}};
  for (const Cell& cell : cells) {
    ShowPageOf(w, cell.grid);
    const QImage image = CellSurface(*cell.grid, cell.row)->grab().toImage();
    const QRect rect = CellRect(*cell.grid, cell.row, cell.column).adjusted(0, 0, -2, -2);
    const QColor background = image.pixelColor(rect.bottomRight());
    QCOMPARE(background, cell.fixed ? GridCellPainter::FixedCellColour(palette)
                                    : palette.color(QPalette::Base));
    int ink = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
      for (int x = rect.left(); x <= rect.right(); ++x)
        ink += std::abs(qGray(image.pixel(x, y)) - qGray(background.rgb())) > 100 ? 1 : 0;
    QVERIFY2(ink > 5, qPrintable(cell.grid->objectName()));
  }
  QApplication::setPalette(original);
}

// A server that answered an A2S info reply gets rows for its bots, version, anti-cheat flag
// and keywords; a classic details reply shows the classic rows only.
void TestViews::a2sDetailsRows() {
  Window window;
  Tfrm_main& w = *window.w;
  const std::string info =
      Reply('I', std::string(1, '\x11') + Text("Arena Deathmatch") + Text("dm_canyon") +
                     Text("arena") + Text("Arena") + std::string(2, '\0') + "\x05\x10\x02" +
                     std::string("dl\0\1", 4) + Text("1.4.2") + "\x20" + Text("ctf,fast"));
  w.UDPClient.HandleReply(Datagram{info, "127.0.0.1", 27015}, nullptr, true);
  const Rows rows = GridTexts(w.uiDetails.sg_details);
  QCOMPARE(rows.size(), 11);
  QCOMPARE(rows.mid(7),
           (Rows{{"Bots", "2"}, {"Version", "1.4.2"}, {"VAC", "Yes"}, {"Keywords", "ctf,fast"}}));
  QCOMPARE(rows[0], (QStringList{"Server Name", "Arena Deathmatch"}));

  w.UDPClient.HandleReply(Datagram{DetailsReply(PlainDetails()), "127.0.0.1", 27015}, nullptr,
                          true);
  QCOMPARE(GridTexts(w.uiDetails.sg_details).size(), 7);
}

// Row 0 of the rules grid (the titles) stays in place while the rows scroll; the operator
// drags a row by its cells and a column by its title to reorder them.
void TestViews::rulesTitleRowStaysAndRowsAndColumnsMove() {
  Window window;
  Tfrm_main& w = *window.w;
  QTableWidget* grid = w.uiRules.sg_rules;
  w.ShowRules(Rules(60));
  ShowPageOf(w, grid);
  grid->scrollToBottom();
  QVERIFY(grid->rowAt(0) > 1);
  QVERIFY(grid->horizontalHeader()->isVisible());
  QCOMPARE(grid->horizontalHeader()->mapTo(grid, QPoint(0, 0)).y(), grid->frameWidth());
  QVERIFY(DarkPixels(*grid, 0, 0) > 5);
  QVERIFY(grid->horizontalHeader()->sectionsMovable());

  grid->scrollToTop();
  QWidget* rows = grid->viewport();
  const QPoint third = grid->visualRect(grid->model()->index(3, 0)).center();
  const QPoint first = grid->visualRect(grid->model()->index(1, 0)).center();
  QTest::mousePress(rows, Qt::LeftButton, {}, third);
  QTest::mouseMove(rows, third - QPoint(0, 10));
  QTest::mouseMove(rows, first);
  QTest::mouseRelease(rows, Qt::LeftButton, {}, first);
  QCOMPARE(grid->rowAt(first.y()), 3);
  QCOMPARE(grid->item(3, 0)->text(), QStringLiteral("rule3"));
}

QTEST_MAIN(TestViews)
#include "test_views.moc"
