#pragma once

#include <QPointer>
#include <QString>

class QProgressBar;
class QWidget;

// Shown while the editor works for a while on its own (a chapter run, a clip): the busy cursor and
// a small progress bar at the bottom of the window, for as long as the object lives. Progress is
// painted at once, without running the event loop, so no other handler can run in between.
class BusyIndicator {
public:
    BusyIndicator(QWidget* window, const QString& what);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    // `done` of `total` steps (chapters, bytes) are finished.
    void Progress(qint64 done, qint64 total);

private:
    QPointer<QProgressBar> bar_;
};
