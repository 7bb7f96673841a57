#pragma once
// The play log: the lines the player, the recorder and the connect write about what happens, in
// the order it happens. The records live in a list the caller owns (the window shows it and the
// export writes it); this object appends to it and announces each line.
//
// Main thread only.

#include <QObject>
#include <QString>

namespace wavelot {

class clsSongArray;

class PlayLog : public QObject {
    Q_OBJECT

public:
    // lines must outlive the log.
    explicit PlayLog(clsSongArray& lines, QObject* parent = nullptr);

    // Appends one line; scroll: the view should show it.
    void Add(const QString& text, bool scroll);
    void Clear();
    clsSongArray& Lines() { return lines_; }

Q_SIGNALS:
    // A line was appended (it is the list's last record now).
    void lineAdded(const QString& text, bool scroll);
    void cleared();

private:
    clsSongArray& lines_;
};

}  // namespace wavelot
