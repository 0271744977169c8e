#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "app/props.h"
#include "qt/propsview.h"
#include "qt/qtdesktop.h"
#include "support/tempdir.h"

namespace {
// The real window's lists and pop-up menus, driven as a right click would.
struct PropsView : ::testing::Test {
    PropsView() { view.show(); }
    // Right-clicks row (or an empty spot for -1) and picks caption from the
    // menu if one opens; says whether a menu opened.
    bool ChooseFromMenu(const char* list, int row, const QString& caption)
    {
        auto* widget = view.findChild<QListWidget*>(list);
        EXPECT_NE(widget, nullptr) << list;
        if (!widget) return false;
        QPoint at = row >= 0 ? widget->visualItemRect(widget->item(row)).center()
                             : QPoint(widget->viewport()->width() - 2, widget->viewport()->height() - 2);
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            opened = true;
            for (QAction* action : menu->actions())
                if (action->text() == caption) action->trigger();
            menu->close();
        });
        emit widget->customContextMenuRequested(at);
        QApplication::processEvents();
        return opened;
    }

    TTempRoot root;
    QtDesktop desk;
    TfrmProps props{{}};
    TPropsView view{props};
};
} // namespace

TEST_F(PropsView, QueueMenuActsOnTheItemUnderThePointer)
{
    props.lstQueue.Items().Assign({"http://a/", "http://b/", "http://c/"});
    props.lstHistory.Items().Assign({"http://h/ via s on d t"});
    props.lstHistory.SetItemIndex(0);
    EXPECT_FALSE(ChooseFromMenu("lstQueue", -1, "&Delete")) << "a menu below the last item";
    EXPECT_TRUE(ChooseFromMenu("lstQueue", 2, "&Delete"));
    EXPECT_EQ(props.lstQueue.Items().Lines(), (std::vector<std::string>{"http://a/", "http://b/"}));
    EXPECT_EQ(view.findChild<QListWidget*>("lstQueue")->count(), 2);
    EXPECT_EQ(root.Read("Queue.Dat"), "http://a/\r\nhttp://b/\r\n");
    EXPECT_EQ(props.lstHistory.Items().Count(), 1);
    EXPECT_TRUE(ChooseFromMenu("lstQueue", 0, "Delete &All"));
    EXPECT_EQ(props.lstQueue.Items().Count(), 0);
}

TEST_F(PropsView, HistoryMenuShowsDetailAndDeletes)
{
    props.lstHistory.Items().Assign({"http://new/ via getweb@bymail.example.net on 03/14/26 09:26:53",
                                     "http://old/ via files@bymail.example.net on 03/13/26 08:00:00"});
    QString detail;
    QTimer::singleShot(0, [&] {
        // Show Detail opens a box; read it and close it.
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                detail = box->text();
                box->accept();
            }
        });
    });
    EXPECT_TRUE(ChooseFromMenu("lstHistory", 1, "&Show Detail"));
    EXPECT_EQ(detail, "http://old/\r\n\nVia: files@bymail.example.net\r\n\nDate/Time: 03/13/26 08:00:00");
    EXPECT_TRUE(ChooseFromMenu("lstHistory", 0, "&Delete from History"));
    ASSERT_EQ(props.lstHistory.Items().Count(), 1);
    EXPECT_EQ(props.lstHistory.Items()[0].substr(0, 11), "http://old/");
}
