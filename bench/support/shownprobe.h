// For the start-up timing of bench/startup.sh: the moment the program's main
// window is on the screen with a tree painted in it, it writes the monotonic
// clock in nanoseconds to its standard output (read by
// bench/startup/launch.c) and ends itself. A program includes this header
// once and names the tree it waits for in SF_SHOWN_PROBE(needsRows): with
// rows (a driver source shown) or any.
#pragma once

#include <QAbstractItemModel>
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace sf::bench {

class ShownProbe : public QObject {
  public:
    explicit ShownProbe(bool needsRows) : needsRows_(needsRows) {}

  protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (done_ || event->type() != QEvent::Paint) return false;
        auto* viewport = qobject_cast<QWidget*>(object);
        auto* tree = viewport ? qobject_cast<QTreeView*>(viewport->parentWidget()) : nullptr;
        if (!tree || tree->viewport() != viewport || !tree->window()->isVisible()) return false;
        if (needsRows_ && (!tree->model() || tree->model()->rowCount() == 0)) return false;
        done_ = true;
        // The window's buffer goes to the screen right after this paint;
        // the next turn of the event loop comes after that. No clean-up: only
        // the start counts.
        QTimer::singleShot(0, [] {
            timespec t{};
            clock_gettime(CLOCK_MONOTONIC, &t);
            std::printf("%lld\n", static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec);
            std::fflush(stdout);
            std::_Exit(0);
        });
        return false;
    }

  private:
    bool needsRows_;
    bool done_ = false;
};

}  // namespace sf::bench

// Installs the probe as soon as the application object exists.
#define SF_SHOWN_PROBE(needsRows)                                       \
    static void sfInstallShownProbe() {                                 \
        qApp->installEventFilter(new sf::bench::ShownProbe(needsRows)); \
    }                                                                   \
    Q_COREAPP_STARTUP_FUNCTION(sfInstallShownProbe)
