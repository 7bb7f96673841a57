#pragma once
// The options dialog: the recording's quality and folder, recording again after a drop, the
// proxy for stream connections, whether the scheduler catches up a job start it missed, and
// whether stations are levelled to a common loudness (at once for the stream playing). It is loaded
// hidden at start-up and stays loaded for the whole run; the options command shows it modally. An edit of the
// recording folder or quality goes to the session's options at once: closed without applying it still counts
// for this run and is shown again next time, and only "套 用" stores it. The proxy counts from the settings
// file and the loop, catch-up and notification switches from the session's options, so only once applied.

#include <QDialog>

#include <array>

#include "core/settings.h"
#include "ui/cls_control.h"

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

    clsControl& cboProxy() { return cboProxy_; }
    clsControl& chkUserProxy() { return chkUserProxy_; }
    clsControl& cboQuality() { return cboQuality_; }
    clsControl& txtFilePath() { return txtFilePath_; }
    clsControl& cmdRecOut() { return cmdRecOut_; }
    clsControl& chkLoopRec() { return chkLoopRec_; }
    clsControl& chkCatchUpJobs() { return chkCatchUpJobs_; }
    clsControl& chkSongNotify() { return chkSongNotify_; }
    clsControl& chkLevelLoudness() { return chkLevelLoudness_; }
    clsControl& chkFromSongStart() { return chkFromSongStart_; }
    clsControl& cmdOK() { return cmdOK_; }
    clsControl& cmdCancel() { return cmdCancel_; }

    // The proxy entry offered when the settings hold no proxy history: an example of the form
    // host:port for the user to edit, since no one proxy is reachable from every network.
    static constexpr char16_t kDefaultProxyEntry[] = u"proxy.example.net:80";
    // Entries read from the history at most: the count is a number in a text file.
    static constexpr int kMaxProxyEntries = 200;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QWidget* Host(const char* name, int left, int top, int width, int height);
    void Create(clsControl& control, QWidget* host, CtrlStyle kind, const QString& caption = QString());
    void PaintHost(QWidget* host, const QColor& color);
    void PublishRecording();

    const Settings settings_;
    SessionOptions& live_;
    bool loaded_ = false;
    std::array<clsControl, 5> labels_;
    clsControl cboProxy_;
    clsControl chkUserProxy_;
    clsControl cboQuality_;
    clsControl txtFilePath_;
    clsControl cmdRecOut_;
    clsControl chkLoopRec_;
    clsControl chkCatchUpJobs_;
    clsControl chkSongNotify_;
    clsControl chkLevelLoudness_;
    clsControl chkFromSongStart_;
    clsControl cmdOK_;
    clsControl cmdCancel_;
    QWidget* picProxy1_ = nullptr;
};

}  // namespace wavelot
