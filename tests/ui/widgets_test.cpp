// The widget layer on its own: hooks, control wrapper, pop-up menus, drawing helpers, the list
// view over its records, the command buttons, the volume slider arithmetic and the spectrum.
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

#include "core/rounding.h"
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

// A list view over n records "r0".."r<n-1>" with a comment "c<i>" each.
struct ListFixture {
    QApplication& app = UiApp();  // before the first widget
    QWidget panel;
    clsSongArray records;
    ListView* view;

    explicit ListFixture(bool multiSelect = false, SongListModel* rows = nullptr) {
        panel.resize(400, 300);
        view =
            new ListView(&panel, {.geometry = {0, 0, 400, 300}, .rowHeight = 20, .multiSelect = multiSelect},
                         rows != nullptr ? rows : NewRows(records));
        view->setColumnWidth(0, 200);
        view->setColumnWidth(1, 80);
        panel.show();
    }
    static SongListModel* NewRows(clsSongArray& records) {
        return new SongListModel(records, {{u"Name"_s, &clsSongArray::Title},
                                           {u"Rate"_s, &clsSongArray::Comment, Qt::AlignRight}});
    }
    void Fill(int n) {
        for (int i = 0; i < n; ++i) {
            const QString k = QString::number(records.ListCount());
            records.AddItem({.title = u"r"_s + k, .comment = u"c"_s + k});
        }
        view->Rows().Follow();
    }
};

// The records change first; the rows follow them, and a row whose record went shows nothing.
TEST(ListView, RowsFollowTheirRecords) {
    ListFixture f;
    QAbstractItemModelTester tester(&f.view->Rows(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    f.Fill(5);
    EXPECT_EQ(f.view->Rows().rowCount(), 5);
    EXPECT_EQ(f.view->Rows().index(3, 1).data().toString(), u"c3"_s);
    EXPECT_EQ(f.view->Rows().index(3, 1).data(Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignRight | Qt::AlignVCenter));
    f.records.Remove(4);
    f.records.Remove(3);
    EXPECT_FALSE(f.view->Rows().index(3, 0).data().isValid()) << "a record gone before the rows follow";
    f.view->viewport()->grab();
    f.view->Rows().Follow();
    EXPECT_EQ(f.view->Rows().rowCount(), 3);
    f.view->Rows().RemoveRecord(0);
    EXPECT_EQ(f.view->Rows().index(0, 0).data().toString(), u"r1"_s);
    f.view->Rows().RemoveRecord(7);
    EXPECT_EQ(f.view->Rows().rowCount(), 2) << "a row outside the rows removes nothing";
}

TEST(ListView, UpAndDownWrapAround) {
    ListFixture f;
    f.Fill(4);
    f.view->SelectOnly(0);
    f.view->setFocus();
    QTest::keyClick(f.view, Qt::Key_Up);
    EXPECT_EQ(f.view->SelectedRows(), std::vector<int>{3});
    QTest::keyClick(f.view, Qt::Key_Down);
    EXPECT_EQ(f.view->SelectedRows(), std::vector<int>{0});
    QTest::keyClick(f.view, Qt::Key_Down);
    EXPECT_EQ(f.view->SelectedRows(), std::vector<int>{1}) << "in the middle the list moves as usual";
}

// A held button never drags a selection, and the right button's release asks for the menu
// unless it ended a drag.
TEST(ListView, HeldButtonsSelectNothingAndTheRightReleaseAsksForTheMenu) {
    ListFixture f(true);
    f.Fill(10);
    QWidget* vp = f.view->viewport();
    std::vector<QPoint> menus;
    QObject::connect(f.view, &QWidget::customContextMenuRequested, [&](QPoint p) { menus.push_back(p); });
    QTest::mouseClick(vp, Qt::RightButton, {}, QPoint(20, 50));
    EXPECT_EQ(menus, std::vector<QPoint>{QPoint(20, 50)});
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mousePress(vp, button, {}, QPoint(20, 30));
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 90), vp->mapToGlobal(QPointF(20, 90)), Qt::NoButton,
                         button, Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
        QTest::mouseRelease(vp, button, {}, QPoint(20, 90));
        EXPECT_EQ(f.view->SelectedRows(), std::vector<int>{1}) << "the pressed row alone";
    }
    EXPECT_EQ(menus.size(), 1u);

    f.view->Place({10, 20, 300, 200});
    QApplication::sendPostedEvents();
    EXPECT_EQ(f.view->geometry(), f.view->Frame()->contentsRect()) << "the table fills its frame";
}

// Rows in the model's colours, the others in the list's; a selected row in the selection colours.
TEST(ListView, RowsPaintInTheirRoleColoursAndTheSelectionColours) {
    struct BlueSecondRow : SongListModel {
        using SongListModel::SongListModel;
        QVariant data(const QModelIndex& index, int role) const override {
            return index.row() == 1 && role == Qt::BackgroundRole ? QVariant(QColor(0, 0, 255))
                                                                  : SongListModel::data(index, role);
        }
    };
    clsSongArray records;
    ListFixture f(false, new BlueSecondRow(records, {{u"Name"_s, &clsSongArray::Title}}));
    for (int i = 0; i < 3; ++i)
        records.AddItem({.title = u"r"_s});
    f.view->Rows().Follow();
    f.view->SetColors(Qt::white, QColor(0, 255, 0));
    f.view->SetSelectionColors(Qt::white, QColor(255, 0, 0));
    f.view->SelectOnly(2);
    const QImage shot = f.view->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(150, 10), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(150, 30), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(150, 50), QColor(255, 0, 0));
}

TEST(CommandButton, ThreeLooksAndAClickOnlyOnReleaseOverIt) {
    UiApp();
    QString caption = u"靜 音"_s;
    CommandButton b([&] { return caption; });
    b.resize(60, 22);
    b.show();
    int clicked = 0;
    QObject::connect(&b, &QAbstractButton::clicked, [&] { ++clicked; });
    auto fillOf = [&] { return b.grab().toImage().pixelColor(30, 3); };
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Normal).fill);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&b, &enter);
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Hover).fill);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(fillOf(), LookFor(ButtonState::Pressed).fill);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(b.State(), ButtonState::Normal);
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(clicked, 1) << "released elsewhere: no command";
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
