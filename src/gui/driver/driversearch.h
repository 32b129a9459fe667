// One search across the driver library, run from a source view: the list
// window is shown and emptied, the drivers under the root are read by two
// reader threads (a worker and its helper, see searchDrivers), and the
// matches arrive in the list in file order while it runs. The
// status bar shows the file being read and a progress bar (files examined
// out of files found) with a button that cancels the search.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "source/record.h"
#include "source/search.h"

class QProgressBar;
class QStatusBar;
class QToolButton;

namespace sf::gui {

class DriverListWindow;

struct DriverSearchRequest {
    std::unique_ptr<SourceRecord> current;  // a copy of the searching driver
    SettingRef ref;
    SearchMode mode = SearchMode::SameValue;
    std::filesystem::path root;  // the drivers root of the preferences
    // Copies of the drivers open in the editor, by path: they are compared
    // as they are held there, not as last saved.
    std::map<std::filesystem::path, std::unique_ptr<SourceRecord>> open;
};

class DriverSearch : public QObject {
    Q_OBJECT
  public:
    // Shows and empties the list, scans the library (an empty one is said,
    // then `openPreferences` is called when given) and starts the search.
    // A search still running is cancelled first. Answers null when there is
    // nothing to search.
    static DriverSearch* start(DriverSearchRequest request, QWidget* owner, QStatusBar* statusBar,
                               std::function<void()> openPreferences = {});
    // The search running, or null.
    static DriverSearch* running();

    ~DriverSearch() override;

    void cancel();
    bool isFinished() const { return finished_; }
    const SearchResult& result() const { return result_; }
    int filesFound() const { return total_; }

  signals:
    void finished(int lines, int examined, bool cancelled);

  private:
    DriverSearch(DriverSearchRequest request, std::vector<std::filesystem::path> paths,
                 QWidget* owner, QStatusBar* statusBar);
    void run();
    void drain();
    void finish();

    DriverSearchRequest request_;
    std::vector<std::filesystem::path> paths_;
    // The open drivers by file name, each with its resolved path.
    std::map<std::string, std::vector<std::pair<std::filesystem::path, const SourceRecord*>>>
        openByName_;
    QPointer<DriverListWindow> window_;
    QPointer<QStatusBar> statusBar_;
    QPointer<QProgressBar> progress_;
    QPointer<QToolButton> cancelButton_;
    QTimer timer_;
    int total_ = 0;

    // Shared with the worker.
    std::mutex mutex_;
    std::vector<SearchMatch> pending_;
    int lastMatchExamined_ = 0;
    std::atomic<int> examined_{0};
    std::atomic<bool> cancel_{false};
    std::thread worker_;

    SearchResult result_;
    bool finished_ = false;
};

}  // namespace sf::gui
