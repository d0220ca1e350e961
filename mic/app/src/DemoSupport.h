// What every step of the offscreen demonstration run uses: letting the window run until a
// condition holds, the report it writes, and the picture of the window.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>

namespace mic::ui {
class CMicDlg;
}

namespace mic::app {

// Main thread: lets the window run (timers, replies, pushes) until `done` holds (true) or
// `ms` passed (false).
bool RunUntil(const std::function<bool()>& done, int ms);
// Main thread: lets the window run for `ms`.
void RunFor(int ms);

// The lines of the report: each step as "[ ok ]" or "[FAIL]" with the time since the start.
class DemoReport {
  public:
    DemoReport() { clock_.start(); }
    void Line(const QString& text) { lines_ << text; }
    void Note(bool ok, const QString& what);
    bool AllGood() const { return allGood_; }
    QString Text() const { return lines_.join(QLatin1Char('\n')) + QLatin1Char('\n'); }

  private:
    QElapsedTimer clock_;
    QStringList lines_;
    bool allGood_ = true;
};

// Main thread: writes the window as shown, with the big-controls popup drawn over it where
// the popup is open, to `path` (PNG). False when the file could not be written.
bool SaveWindowPicture(mic::ui::CMicDlg& window, const QString& path);

}  // namespace mic::app
