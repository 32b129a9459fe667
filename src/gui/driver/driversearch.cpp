#include "driver/driversearch.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>

#include "driver/driverlistwindow.h"
#include "driver/library.h"
#include "ui/qtprompter.h"
#include "ui/text.h"

namespace sf::gui {

namespace fs = std::filesystem;

namespace {

QPointer<DriverSearch> g_running;

// The file name part of a path, without building path objects (this runs
// for every file of the library).
std::string fileNameOf(const fs::path& p) {
    const std::string& s = p.native();
    const std::size_t slash = s.rfind('/');
    return slash == std::string::npos ? s : s.substr(slash + 1);
}

fs::path canonicalOrSelf(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? p : c;
}

}  // namespace

DriverSearch* DriverSearch::running() {
    return g_running.data();
}

DriverSearch* DriverSearch::start(DriverSearchRequest request, QWidget* owner,
                                  QStatusBar* statusBar, std::function<void()> openPreferences) {
    if (g_running) {
        g_running->cancel();
        delete g_running.data();
    }
    if (!request.current) return nullptr;
    DriverListWindow* window = DriverListWindow::showList(owner);
    if (!window) return nullptr;
    window->clearList();
    bool wantPreferences = false;
    std::vector<fs::path> paths = scanDriverLibrary(request.root, prompter(), &wantPreferences);
    if (wantPreferences && openPreferences) openPreferences();
    window->setCaption(0);
    if (paths.empty()) return nullptr;
    auto* search = new DriverSearch(std::move(request), std::move(paths), owner, statusBar);
    g_running = search;
    return search;
}

DriverSearch::DriverSearch(DriverSearchRequest request, std::vector<fs::path> paths, QWidget* owner,
                           QStatusBar* statusBar)
    : QObject(owner),
      request_(std::move(request)),
      paths_(std::move(paths)),
      window_(DriverListWindow::instance()),
      statusBar_(statusBar),
      total_(static_cast<int>(paths_.size())) {
    for (const auto& [path, record] : request_.open)
        if (record) openByName_[fileNameOf(path)].push_back({canonicalOrSelf(path), record.get()});

    if (statusBar_) {
        // The bar and its button stay in the status bar, hidden between
        // searches: adding and removing them would lay out the whole main
        // window each time.
        progress_ = statusBar_->findChild<QProgressBar*>("searchProgress");
        cancelButton_ = statusBar_->findChild<QToolButton*>("searchCancel");
        if (!progress_ || !cancelButton_) {
            progress_ = new QProgressBar(statusBar_);
            progress_->setObjectName("searchProgress");
            progress_->setFormat("%v / %m");
            progress_->setMaximumWidth(220);
            cancelButton_ = new QToolButton(statusBar_);
            cancelButton_->setObjectName("searchCancel");
            cancelButton_->setText("Cancel");
            statusBar_->addPermanentWidget(progress_);
            statusBar_->addPermanentWidget(cancelButton_);
        }
        progress_->setRange(0, total_);
        progress_->setValue(0);
        progress_->show();
        cancelButton_->show();
        connect(cancelButton_, &QToolButton::clicked, this, &DriverSearch::cancel);
    }
    // The list and the progress follow the worker a few times a second; a
    // match list that grows by thousands is then updated in batches.
    timer_.setInterval(40);
    connect(&timer_, &QTimer::timeout, this, &DriverSearch::drain);
    timer_.start();
    worker_ = std::thread([this] { run(); });
}

DriverSearch::~DriverSearch() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    if (!finished_) finish();
}

void DriverSearch::cancel() {
    cancel_ = true;
}

void DriverSearch::run() {
    SearchCallbacks callbacks;
    callbacks.progress = [this](int examined, int, const fs::path&) {
        examined_.store(examined, std::memory_order_relaxed);
        return !cancel_.load(std::memory_order_relaxed);
    };
    callbacks.match = [this](const SearchMatch& match, int examined) {
        std::lock_guard lock(mutex_);
        pending_.push_back(match);
        lastMatchExamined_ = examined;
    };
    if (!openByName_.empty()) {
        // Called by both readers at once: it only reads openByName_.
        callbacks.openRecord = [this](const fs::path& path) -> const SourceRecord* {
            // The file name first: resolving every path of the library
            // would cost more than reading the files.
            auto it = openByName_.find(fileNameOf(path));
            if (it == openByName_.end()) return nullptr;
            const fs::path canonical = canonicalOrSelf(path);
            for (const auto& [openPath, record] : it->second)
                if (openPath == canonical) return record;
            return nullptr;
        };
    }
    SearchResult result =
        searchDrivers(*request_.current, request_.ref, request_.mode, paths_, callbacks);
    {
        std::lock_guard lock(mutex_);
        result_ = std::move(result);
    }
    QMetaObject::invokeMethod(
        this, [this] { finish(); }, Qt::QueuedConnection);
}

void DriverSearch::drain() {
    std::vector<SearchMatch> batch;
    int matchExamined;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        matchExamined = lastMatchExamined_;
    }
    const int examined = examined_.load(std::memory_order_relaxed);
    if (window_ && !batch.empty()) {
        std::vector<std::pair<fs::path, std::optional<SettingRef>>> lines;
        lines.reserve(batch.size());
        for (SearchMatch& m : batch) lines.emplace_back(std::move(m.path), m.ref);
        window_->addLines(std::move(lines));
        window_->setCaption(matchExamined);
    }
    if (progress_) progress_->setValue(examined);
    // The file being read now (the worker is at most a few files further).
    if (statusBar_ && !finished_ && examined < total_)
        statusBar_->showMessage(fromUtf8(fileNameOf(paths_[static_cast<std::size_t>(examined)])));
}

void DriverSearch::finish() {
    if (finished_) return;
    if (worker_.joinable()) worker_.join();
    timer_.stop();
    drain();
    finished_ = true;
    if (statusBar_) statusBar_->clearMessage();
    if (progress_) progress_->hide();
    if (cancelButton_) {
        cancelButton_->hide();
        cancelButton_->disconnect(this);
    }
    const int lines = window_ ? static_cast<int>(window_->list().size()) : 0;
    if (window_) window_->setCaption(result_.examined);
    emit finished(lines, result_.examined, result_.cancelled);
    deleteLater();
}

}  // namespace sf::gui
