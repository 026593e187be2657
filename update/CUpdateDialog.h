// The update notice: a white, borderless 640 x 360 window with the notice text, whose
// links open in the default browser, and a close button. Also shows the notice that the
// map component cannot start.
#pragma once

#include "ui/CSkinDialog.h"
#include "update/VersionRules.h"

class QLabel;
class QPushButton;

namespace kirvano {

class CUpdateDialog : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 360;
    static constexpr int kLinkControl = 1007;
    // The bottom band that keeps the dialog's normal background.
    static constexpr int kBottomBand = 50;

    // The window is a top-level window of its own (the desktop is its parent).
    CUpdateDialog(const NoticeText& notice, const std::string& title);

    QLabel* LinkControl() const { return link_; }
    QPushButton* CloseButton() const { return close_; }
    bool Closed() const { return closed_; }
    // The link control's text: the notice with only its own links as anchors.
    static QString LinkHtml(const NoticeText& notice);

    // Enter reaches the hidden OK button, which leaves the notice open; Escape is the
    // close button.
    void accept() override {}
    void reject() override { OnCommand(2); }

protected:
    void OnCommand(int commandId) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceControls();
    void OpenLink(const QString& address);

    QLabel* link_ = nullptr;
    QPushButton* close_ = nullptr;
    bool closed_ = false;
};

// The notice that the map component cannot start, linking to the download page from the
// configuration (UPDATE/RUNTIME_PAGE, with a default); runs until the user closes it.
void RunMapRuntimeNotice();
// Whether the map component's helper program is installed where it will be looked for.
bool MapComponentInstalled();

} // namespace kirvano
