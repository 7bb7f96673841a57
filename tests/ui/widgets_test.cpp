// The widget layer on its own: hooks, control wrapper, pop-up menus, drawing helpers, the list
// view and its model, the command buttons, the volume slider arithmetic and the spectrum.
#include <gtest/gtest.h>
#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QTableView>
#include <QTest>

#include "tests/ui/ui_test_util.h"
#include "ui/clipboard.h"
#include "ui/command_button.h"
#include "ui/list_view.h"
#include "ui/mod_theme.h"
#include "ui/status_display.h"
#include "ui/tray_icon.h"
#include "ui/volume_slider.h"

using namespace wavelot;
using namespace wavelot::test;
using namespace Qt::Literals::StringLiterals;

namespace {

TEST(Theme, FallsBackToAnInstalledFaceWithTraditionalChinese) {
    UiApp();
    const QString family = UiFontFamily();
    EXPECT_FALSE(family.isEmpty());
    QFontMetrics fm(UiFont(14));
    EXPECT_TRUE(fm.inFont(QChar(0x96FB))) << "電 must have a glyph in " << family.toStdString();
}

// A list view filled with n rows whose texts come from a counter, recording the events.
struct ListFixture {
    QWidget panel;
    clsListView view;
    int dataCalls = 0;
    QStringList rows;  // what the owner keeps; the view only has the count
    std::vector<std::pair<int, int>> clicks;
    std::vector<int> keyDowns;

    explicit ListFixture(bool multiSelect = false) {
        UiApp();
        panel.resize(400, 300);
        view.Create(&panel, {.geometry = {0, 0, 400, 300}, .rowHeight = 20, .multiSelect = multiSelect});
        view.AddColumn(u"Name"_s, 200);
        view.AddColumn(u"Rate"_s, 80, Qt::AlignRight);
        QObject::connect(&view, &clsListView::OnData, [this](int item, int sub, QString& text) {
            ++dataCalls;
            text = rows.value(item) + QStringLiteral("c%1").arg(sub);
        });
        QObject::connect(&view, &clsListView::Click, [this](int item, Qt::MouseButton button) {
            clicks.push_back({item, int(button)});
        });
        QObject::connect(&view, &clsListView::KeyDown,
                         [this](int key, Qt::KeyboardModifiers) { keyDowns.push_back(key); });
        panel.show();
    }
    void Fill(int n) {
        for (int i = 0; i < n; ++i)
            rows << QStringLiteral("r%1").arg(rows.size());
        view.AddRows(n);
    }
};

TEST(ListView, ModelPassesTheItemModelTesterAndAsksOnlyForShownCells) {
    ListFixture f;
    {
        QAbstractItemModelTester tester(f.view.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        f.Fill(5000);
        f.rows << u"last"_s;
        f.view.Add();
        EXPECT_EQ(f.view.ListCount(), 5001);
        f.dataCalls = 0;
        f.view.Table()->viewport()->grab();
        EXPECT_GT(f.dataCalls, 0);
        EXPECT_LT(f.dataCalls, 200) << "only the visible rows' cells are asked for";
        EXPECT_EQ(f.view.Model()->index(3, 1).data().toString(), u"r3c1"_s);
        f.view.RedrawItem(2);
        f.view.Refresh();
        f.rows.clear();
        f.view.Clear();
        EXPECT_EQ(f.view.ListCount(), 0);
        EXPECT_EQ(f.view.HitTest(5, 5), -1);
    }
    // The owner removes the record first and then the row (the station lists work that way).
    f.Fill(3);
    f.rows.removeFirst();
    f.view.Remove(0);
    EXPECT_EQ(f.view.ListCount(), 2);
    EXPECT_EQ(f.view.Model()->index(0, 0).data().toString(), u"r1c0"_s);
    f.view.Remove(7);
    EXPECT_EQ(f.view.ListCount(), 2) << "an index outside the rows removes nothing";
}

TEST(ListView, UpAndDownWrapAroundAndBlockKeySwallowsKeys) {
    ListFixture f;
    f.Fill(4);
    f.view.SetSelected(0, true);
    f.view.SetFocus();
    QTest::keyClick(f.view.Table(), Qt::Key_Up);
    EXPECT_TRUE(f.view.Selected(3));
    EXPECT_EQ(f.view.SelCount(), 1);
    ASSERT_FALSE(f.clicks.empty());
    EXPECT_EQ(f.clicks.back(), std::make_pair(3, 1));
    QTest::keyClick(f.view.Table(), Qt::Key_Down);
    EXPECT_TRUE(f.view.Selected(0));
    EXPECT_EQ(f.clicks.back(), std::make_pair(0, 1));
    QTest::keyClick(f.view.Table(), Qt::Key_Down);
    EXPECT_TRUE(f.view.Selected(1)) << "in the middle the list moves as usual";
    EXPECT_EQ(f.keyDowns, (std::vector<int>{Qt::Key_Up, Qt::Key_Down, Qt::Key_Down}));

    f.view.BlockKey(true);
    QTest::keyClick(f.view.Table(), Qt::Key_Down);
    EXPECT_TRUE(f.view.Selected(1)) << "blocked keys do not move the selection";
    EXPECT_EQ(f.keyDowns.size(), 3u) << "and raise no KeyDown";
}

// Keys act on their release; the release of the Enter that closed a message box is not the list's.
TEST(ListView, KeyUpOnlyForAKeyPressedInTheList) {
    ListFixture f;
    int keyUps = 0;
    QObject::connect(&f.view, &clsListView::KeyUp, [&](int, Qt::KeyboardModifiers) { ++keyUps; });
    f.view.SetFocus();
    QTest::keyClick(f.view.Table(), Qt::Key_Return);
    OnNextModal([](QWidget* box) { QTest::keyPress(box, Qt::Key_Return); });
    QMessageBox::information(&f.panel, u"t"_s, u"closed by Enter"_s);
    QTest::keyRelease(f.view.Table(), Qt::Key_Return);
    EXPECT_EQ(keyUps, 1);
}

TEST(ListView, SelectionQueriesMoveAndColumnWidths) {
    ListFixture f(true);
    f.Fill(10);
    f.view.SetSelected(2, true);
    f.view.SetSelected(7, true);
    EXPECT_EQ(f.view.GetSelectedItems(), (std::vector<int>{2, 7}));
    EXPECT_EQ(f.view.NextSelected(-1), 2);
    EXPECT_EQ(f.view.NextSelected(2), 7);
    EXPECT_EQ(f.view.NextSelected(7), -1);
    f.view.SetSelected(-1, true);
    EXPECT_EQ(f.view.SelCount(), 10);
    f.view.SetSelectList(false);
    EXPECT_TRUE(f.view.GetSelectedItems().empty());
    EXPECT_EQ(f.view.HitTest(10, 45), 2);

    f.view.SetGeometry({10, 20, 300, 200});
    QApplication::sendPostedEvents();
    EXPECT_EQ(f.view.Table()->geometry(), f.view.Container()->contentsRect()) << "the table fills its frame";
    f.view.SetColumnWidth(1, 0);
    EXPECT_EQ(f.view.ColumnWidth(1), 0);
    f.view.SetColumnWidth(1, 66);
    EXPECT_EQ(f.view.ColumnWidth(1), 66);
}

TEST(ListView, MouseClicksDragsAndDroppedFiles) {
    ListFixture f(true);
    f.Fill(10);
    QWidget* vp = f.view.Table()->viewport();
    std::vector<std::pair<int, int>> dbl, drags;
    QStringList dropped;
    QObject::connect(&f.view, &clsListView::DblClick, [&](int i, Qt::MouseButton b) {
        dbl.push_back({i, int(b)});
    });
    QObject::connect(&f.view, &clsListView::DragBegin, [&](int i, int, Qt::MouseButton b) {
        drags.push_back({i, int(b)});
    });
    QObject::connect(&f.view, &clsListView::FilesDropped,
                     [&](const QStringList& files, int, int) { dropped = files; });

    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(20, 50));
    EXPECT_EQ(f.clicks.back(), std::make_pair(2, 2));
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, 290));
    EXPECT_EQ(f.clicks.back(), std::make_pair(-1, 1)) << "outside any row";
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_EQ(dbl.size(), 1u);
    EXPECT_EQ(dbl[0], std::make_pair(0, 1));

    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(20, 30));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 90), vp->mapToGlobal(QPointF(20, 90)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(20, 90));
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(drags[0], std::make_pair(1, 1));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u"/tmp/a.m3u"_s), QUrl::fromLocalFile(u"/tmp/b.pls"_s),
                  QUrl::fromLocalFile(u"/tmp/c.ini"_s)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &drop);
    EXPECT_EQ(dropped, (QStringList{u"/tmp/a.m3u"_s, u"/tmp/b.pls"_s, u"/tmp/c.ini"_s}));
}

// Rows in the model's colours, the others in the list's; a selected row in the selection colours.
TEST(ListView, RowsPaintInTheirRoleColoursAndTheSelectionColours) {
    ListFixture f;
    f.Fill(3);
    f.view.SetColors(Qt::white, QColor(0, 255, 0));
    f.view.SetSelectionColors(Qt::white, QColor(255, 0, 0));
    f.view.Model()->SetRoleSource([](int row, int, int role) {
        return row == 1 && role == Qt::BackgroundRole ? QVariant(QColor(0, 0, 255)) : QVariant();
    });
    f.view.SetSelected(2, true);
    const QImage shot = f.view.Table()->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 10), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(150, 30), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(150, 50), QColor(255, 0, 0));
}

TEST(CommandButton, ThreeLooksAndAClickOnlyOnReleaseOverIt) {
    UiApp();
    QString caption = u"靜 音"_s;
    CommandButton b(7, [&] { return caption; });
    b.resize(60, 22);
    b.show();
    int clicked = -1;
    QObject::connect(&b, &CommandButton::Clicked, [&](int i) { clicked = i; });
    auto fillOf = [&] { return b.grab().toImage().pixelColor(30, 3); };
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Normal).fill);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Hover).fill);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Pressed).fill);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked, 7);
    EXPECT_EQ(b.State(), ButtonState::Normal);
    clicked = -1;
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(clicked, -1) << "released elsewhere: no command";
    caption = u"解除靜音"_s;
    EXPECT_EQ(b.Caption(), u"解除靜音"_s) << "captions are read when drawn";
}

TEST(VolumeSlider, KnobAndVolumeArithmetic) {
    using namespace volume_slider;
    const int w = 86 * kUnitsPerPixel;  // 1290 units
    EXPECT_DOUBLE_EQ(KnobLeft(w, 0), 0);
    EXPECT_DOUBLE_EQ(KnobLeft(w, 100), w - 230);
    EXPECT_EQ(VolumeAt(-500, w), 0) << "far left";
    // Far right: (w - 230) * 100 / (w - 225) = 106000 / 1065 = 99.53 -> 100
    EXPECT_EQ(VolumeAt(99999, w), RoundHalfEven((w - 230) * 100.0 / (w - 225)));
    EXPECT_EQ(VolumeAt(70 + (w - 225) / 2, w), 50);
    // Width 425: volume = (x - 70) * 100 / 200, so x = 75 gives 2.5, which goes to 2.
    EXPECT_EQ(VolumeAt(75, 425), 2);
    EXPECT_EQ(VolumeAt(77, 425), 4) << "3.5 goes to 4";
}

TEST(Tray, TipIsCutTo127Units) {
    const QString tip = u"Wavelot\r\n"_s + QString(200, u'x');
    EXPECT_EQ(TrayTipText(tip).size(), 127);
    EXPECT_TRUE(TrayTipText(tip).startsWith(u"Wavelot\r\nxxx"_s));
    EXPECT_EQ(TrayTipText(u"short"_s), u"short"_s);
}

TEST(StatusBar, ANoticeStaysWhileIdleAndGivesWayToTheSongTitle) {
    UiApp();
    StatusDisplay bar;
    bar.SetNoticeHold(std::chrono::milliseconds(200));
    bar.ShowNotice(u"搜尋失敗：無法連線至 dir.test"_s, true);
    Pump(300);
    bar.ShowIdle();
    EXPECT_EQ(bar.Text(), u"搜尋失敗：無法連線至 dir.test"_s) << "nothing plays: it stays";
    bar.ShowPlaying(u"00:01 * Song"_s);
    EXPECT_EQ(bar.Text(), u"00:01 * Song"_s) << "shown longer ago than the hold";
    bar.ShowNotice(u"搜尋完成：沒有找到電台"_s, false);
    bar.ShowPlaying(u"00:02 * Song"_s);
    EXPECT_EQ(bar.Text(), u"搜尋完成：沒有找到電台"_s);
}

TEST(Clipboard, TextReplacesContentIncludingEmpty) {
    SetClipboardText(u"歌名 — Song"_s);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"歌名 — Song"_s);
    SetClipboardText(QString());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

}  // namespace
