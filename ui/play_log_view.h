#pragma once
// The play log's list on the fourth tab: one row per log line of the player, light grey on dark
// grey without a selection highlight, and its menu to export the log to a text file or clear it.

#include <QObject>

#include "ui/list_view.h"

namespace wavelot {

class Player;

class PlayLogView : public QObject {
    Q_OBJECT
public:
    explicit PlayLogView(Player& player, QObject* parent = nullptr);

    // The view lies in the tab area under the three panels, so it shows only on the log's tab.
    void Create(QWidget* tabArea);
    clsListView& View() { return view_; }

private:
    void clsStart_Click(int item, Qt::MouseButton button);

    Player& player_;
    clsListView view_;
};

}  // namespace wavelot
