#pragma once
// The play log's list on the fourth tab: one row per log line of the player, light grey on dark
// grey without a selection highlight, and its menu to export the log to a text file or clear it.

#include "ui/list_view.h"

namespace wavelot {

class Player;

class PlayLogView : public ListView {
    Q_OBJECT
public:
    // The view lies in the tab area under the three panels, so it shows only on the log's tab.
    PlayLogView(Player& player, QWidget* tabArea);

private:
    void ShowMenu();

    Player& player_;
};

}  // namespace wavelot
