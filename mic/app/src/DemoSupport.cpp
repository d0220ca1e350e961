#include "DemoSupport.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPixmap>

#include "mic/ui/CBigControls2.h"
#include "mic/ui/CMicDlg.h"

namespace mic::app {

bool RunUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void RunFor(int ms) {
    RunUntil([] { return false; }, ms);
}

void DemoReport::Note(bool ok, const QString& what) {
    lines_ << QStringLiteral("[%1] %2 s  %3")
                  .arg(ok ? QStringLiteral(" ok ") : QStringLiteral("FAIL"))
                  .arg(clock_.elapsed() / 1000.0, 5, 'f', 2)
                  .arg(what);
    allGood_ = allGood_ && ok;
}

bool SaveWindowPicture(mic::ui::CMicDlg& window, const QString& path) {
    const QPixmap main = window.grab();
    mic::ui::CBigControls2* popup = window.Popup();
    if (!popup || !popup->open || !popup->isVisible()) {
        return main.save(path);
    }
    // Both are top-level windows: place them as they stand on the screen.
    const QRect mainRect(window.mapToGlobal(QPoint(0, 0)), main.size());
    const QPixmap over = popup->grab();
    const QRect popupRect(popup->mapToGlobal(QPoint(0, 0)), over.size());
    const QRect all = mainRect.united(popupRect);
    QPixmap canvas(all.size());
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.drawPixmap(mainRect.topLeft() - all.topLeft(), main);
    painter.drawPixmap(popupRect.topLeft() - all.topLeft(), over);
    painter.end();
    return canvas.save(path);
}

}  // namespace mic::app
