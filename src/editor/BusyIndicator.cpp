#include "editor/BusyIndicator.h"

#include <QApplication>
#include <QProgressBar>
#include <QWidget>

BusyIndicator::BusyIndicator(QWidget* window, const QString& what) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!window)
        return;
    bar_ = new QProgressBar(window);
    bar_->setObjectName(QStringLiteral("BusyProgress"));
    bar_->setRange(0, 1000);
    bar_->setValue(0);
    bar_->setFormat(what + QStringLiteral(" %p%"));
    bar_->setTextVisible(true);
    const int height = bar_->sizeHint().height();
    bar_->setGeometry(8, window->height() - height - 4, qMax(100, window->width() - 16), height);
    bar_->show();
    bar_->raise();
    bar_->repaint();
}

BusyIndicator::~BusyIndicator() {
    delete bar_.data();
    QApplication::restoreOverrideCursor();
}

void BusyIndicator::Progress(qint64 done, qint64 total) {
    if (!bar_ || total <= 0)
        return;
    bar_->setValue(int(qBound(qint64(0), done * 1000 / total, qint64(1000))));
    bar_->repaint();
}
