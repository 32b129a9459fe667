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

fs::path canonicalOrSelf(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? p : c;
}

}  // namespace

DriverSearch* DriverSearch::running() { return g_running.data(); }

DriverSearch* DriverSearch::start(DriverSearchRequest request, QWidget* owner, QStatusBar* statusBar,
                                  std::function<void()> openPreferences) {
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
        if (record) openByCanonical_[canonicalOrSelf(path)] = record.get();

    if (statusBar_) {
        progress_ = new QProgressBar(statusBar_);
        progress_->setObjectName("searchProgress");
        progress_->setRange(0, total_);
        progress_->setValue(0);
        progress_->setFormat("%v / %m");
        progress_->setMaximumWidth(220);
        cancelButton_ = new QToolButton(statusBar_);
        cancelButton_->setObjectName("searchCancel");
        cancelButton_->setText("Cancel");
        statusBar_->addPermanentWidget(progress_);
        statusBar_->addPermanentWidget(cancelButton_);
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
    delete progress_.data();
    delete cancelButton_.data();
}

void DriverSearch::cancel() { cancel_ = true; }

void DriverSearch::run() {
    SearchCallbacks callbacks;
    callbacks.progress = [this](int examined, int, const fs::path& next) {
        examined_.store(examined, std::memory_order_relaxed);
        {
            std::lock_guard lock(mutex_);
            currentFile_ = next;
        }
        return !cancel_.load(std::memory_order_relaxed);
    };
    callbacks.match = [this](const SearchMatch& match, int examined) {
        std::lock_guard lock(mutex_);
        pending_.push_back(match);
        lastMatchExamined_ = examined;
    };
    if (!openByCanonical_.empty()) {
        callbacks.openRecord = [this](const fs::path& path) -> const SourceRecord* {
            auto it = openByCanonical_.find(canonicalOrSelf(path));
            return it == openByCanonical_.end() ? nullptr : it->second;
        };
    }
    SearchResult result = searchDrivers(*request_.current, request_.ref, request_.mode, paths_, callbacks);
    {
        std::lock_guard lock(mutex_);
        result_ = std::move(result);
    }
    QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
}

void DriverSearch::drain() {
    std::vector<SearchMatch> batch;
    fs::path file;
    int matchExamined;
    {
        std::lock_guard lock(mutex_);
        batch.swap(pending_);
        file = currentFile_;
        matchExamined = lastMatchExamined_;
    }
    if (window_ && !batch.empty()) {
        for (const SearchMatch& m : batch) window_->addLine(m.path, m.ref);
        window_->setCaption(matchExamined);
    }
    if (progress_) progress_->setValue(examined_.load(std::memory_order_relaxed));
    if (statusBar_ && !file.empty() && !finished_)
        statusBar_->showMessage(fromUtf8(file.filename().string()));
}

void DriverSearch::finish() {
    if (finished_) return;
    if (worker_.joinable()) worker_.join();
    timer_.stop();
    drain();
    finished_ = true;
    if (statusBar_) statusBar_->clearMessage();
    delete progress_.data();
    delete cancelButton_.data();
    const int lines = window_ ? static_cast<int>(window_->list().size()) : 0;
    if (window_) window_->setCaption(result_.examined);
    emit finished(lines, result_.examined, result_.cancelled);
    deleteLater();
}

}  // namespace sf::gui
