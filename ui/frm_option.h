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
    ~frmOption() override;

    // Creates the controls and fills them from the settings; runs once.
    void Form_Load();
    // Shows the dialog modally over owner (a transient window of it) until it is hidden.
    void ShowModal(QWidget* owner);

    // The recording folder and quality entry the controls show.
    QString RecordingFolder() const;
    int QualityIndex() const;

    void chkUserProxy_Click();
    void cmdRecOut_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    QComboBox* cboProxy() const { return cboProxy_; }
    QCheckBox* chkUserProxy() const { return chkUserProxy_; }
    QComboBox* cboQuality() const { return cboQuality_; }
    QLineEdit* txtFilePath() const { return txtFilePath_; }
    QPushButton* cmdRecOut() const { return cmdRecOut_; }
    QCheckBox* chkLoopRec() const { return chkLoopRec_; }
    QCheckBox* chkCatchUpJobs() const { return chkCatchUpJobs_; }
    QCheckBox* chkSongNotify() const { return chkSongNotify_; }
    QCheckBox* chkLevelLoudness() const { return chkLevelLoudness_; }
    QCheckBox* chkFromSongStart() const { return chkFromSongStart_; }
    QPushButton* cmdOK() const { return cmdOK_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }

    // The proxy entry offered when the settings hold no proxy history: an example of the form
    // host:port for the user to edit, since no one proxy is reachable from every network.
    static constexpr char16_t kDefaultProxyEntry[] = u"proxy.example.net:80";
    // Entries read from the history at most: the count is a number in a text file.
    static constexpr int kMaxProxyEntries = 200;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    // The inputs, placed from the layout table and wired to their handlers.
    void BuildInputs();
    QCheckBox* Check(const QRect& at, const QString& caption);
    QPushButton* Button(const QRect& at, const QString& caption);
    void PublishRecording();

    const Settings settings_;
    SessionOptions& live_;
    bool loaded_ = false;
    QComboBox* cboProxy_ = nullptr;
    QCheckBox* chkUserProxy_ = nullptr;
    QComboBox* cboQuality_ = nullptr;
    QLineEdit* txtFilePath_ = nullptr;
    QPushButton* cmdRecOut_ = nullptr;
    QCheckBox* chkLoopRec_ = nullptr;
    QCheckBox* chkCatchUpJobs_ = nullptr;
    QCheckBox* chkSongNotify_ = nullptr;
    QCheckBox* chkLevelLoudness_ = nullptr;
    QCheckBox* chkFromSongStart_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace wavelot
