#pragma once
// The options dialog: the recording's quality and folder, recording again after a drop, the
// proxy for stream connections, whether the scheduler catches up a job start it missed, and
// whether stations are levelled to a common loudness (at once for the stream playing). It is loaded
// hidden at start-up and stays loaded for the whole run; the options command shows it modally. An edit of the
// recording folder or quality goes to the session's options at once: closed without applying it still counts
// for this run and is shown again next time, and only "套 用" stores it. The proxy counts from the settings
// file and the loop, catch-up and notification switches from the session's options, so only once applied.

#include <QDialog>

#include "core/settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace wavelot {

struct SessionOptions;

class frmOption : public QDialog {
    Q_OBJECT
public:
    // live: the session's options, which the dialog keeps up to date; it must outlive the dialog.
    frmOption(Settings settings, SessionOptions& live, QWidget* parent = nullptr);

    // Creates the controls and fills them from the settings; runs once.
    void Form_Load();
    // Shows the dialog modally over owner (a transient window of it) until it is hidden.
    void ShowModal(QWidget* owner);

    // The inputs, made by Form_Load.
    struct Widgets {
        QComboBox* cboProxy = nullptr;
        QCheckBox* chkUserProxy = nullptr;
        QComboBox* cboQuality = nullptr;
        QLineEdit* txtFilePath = nullptr;
        QPushButton* cmdRecOut = nullptr;
        QCheckBox* chkLoopRec = nullptr;
        QCheckBox* chkCatchUpJobs = nullptr;
        QCheckBox* chkSongNotify = nullptr;
        QCheckBox* chkLevelLoudness = nullptr;
        QCheckBox* chkFromSongStart = nullptr;
        QPushButton* cmdOK = nullptr;
        QPushButton* cmdCancel = nullptr;
    };
    const Widgets& Inputs() const { return ui_; }

    // The proxy entry offered when the settings hold no proxy history: an example of the form
    // host:port for the user to edit, since no one proxy is reachable from every network.
    static constexpr char16_t kDefaultProxyEntry[] = u"proxy.example.net:80";
    // Entries read from the history at most: the count is a number in a text file.
    static constexpr int kMaxProxyEntries = 200;

private:
    // The inputs, placed from the layout table and wired to their handlers.
    void BuildInputs();
    void PublishRecording();
    // The proxy box is editable only while the proxy is switched on.
    void FollowProxySwitch();
    void BrowseRecordingFolder();
    // Stores every input and hides the dialog ("套 用").
    void Apply();

    const Settings settings_;
    SessionOptions& live_;
    bool loaded_ = false;
    Widgets ui_;
};

}  // namespace wavelot
