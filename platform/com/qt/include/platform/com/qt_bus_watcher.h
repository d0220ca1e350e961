// Delivery of the object server's pushes in a Qt event loop.
//
// Make one QtBusWatcher on each Qt thread that uses the object server, before its loop runs
// (mic makes it in main, beside the QApplication). It watches the thread's bus connection
// for reading and writing, keeps a timer for sd-bus's time-out, and re-reads all three each
// time the loop is about to block: a synchronous call made from any slot may have parked
// pushes inside sd-bus, leaving the socket quiet, and only that re-check delivers them.
// It also makes PostQuitMessage end the thread's Qt loop with the code given.
#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace platform::com {

class QtBusWatcher : public QObject {
  public:
    // Calling thread: the Qt thread whose connection is watched (opened now if need be).
    explicit QtBusWatcher(QObject* parent = nullptr);
    ~QtBusWatcher() override;

    // Reads what the connection waits for and arms the notifiers and the timer to match.
    void rearm();

  private:
    void process();
    void watch(int fd);

    QSocketNotifier* read_ = nullptr;
    QSocketNotifier* write_ = nullptr;
    QTimer timer_;
    int fd_ = -1;
};

}  // namespace platform::com
