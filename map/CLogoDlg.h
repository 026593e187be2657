// The logo panel that stands in the map's place when there is no map to show; its offline
// picture says that the map is not available.
#pragma once

#include <QWidget>

namespace kirvano {

class CLogoDlg : public QWidget {
    Q_OBJECT

public:
    explicit CLogoDlg(QWidget* parent = nullptr);

    // Redraws when the state changes.
    void SetOffline(bool offline);
    bool Offline() const { return offline_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool offline_ = false;
};

} // namespace kirvano
