#include "app/sysforgeapp.h"

#include <dlfcn.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyle>
#include <QTextStream>

#include "app/frame.h"
#include "app/frame_extensions.h"
#include "app/helpviewer.h"
#include "app/icons.h"
#include "app/localsocket.h"
#include "framework/helperthread.h"
#include "patchtools/install_editors.h"
#include "sysex/message.h"
#include "ui/guard.h"

// Resources of a static library are registered by name, outside any namespace.
static void initSysforgeResources() {
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(help);
}

namespace sf::gui {

namespace {
SysforgeApp* theApp = nullptr;

std::filesystem::path toPath(const QString& s) {
    return std::filesystem::path(s.toStdString());
}

QString userName() {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::getuid());
}

std::vector<std::string> toStd(const QStringList& l) {
    std::vector<std::string> out;
    for (const QString& s : l) out.push_back(s.toStdString());
    return out;
}
}  // namespace

AppPaths SysforgeApp::defaultPaths(const QString& configDirOverride) {
    PathEnvironment env = PathEnvironment::system();
    if (!configDirOverride.isEmpty()) {
        auto base = env.getenv;
        const std::string dir = configDirOverride.toStdString();
        env.getenv = [base, dir](const char* name) -> std::optional<std::string> {
            if (std::string_view(name) == "SYSFORGE_CONFIG_DIR") return dir;
            return base(name);
        };
    }
    return resolveAppPaths(toPath(QCoreApplication::applicationDirPath()), env);
}

QString SysforgeApp::socketNameFor(const AppPaths& paths) {
    return QString::fromStdString(instanceSocketName(userName().toStdString(), paths.configDir));
}

SysforgeApp::SysforgeApp(const Options& options) : paths_(defaultPaths(options.configDir)) {
    theApp = this;
    initSysforgeResources();
    std::error_code ec;
    std::filesystem::create_directories(paths_.configDir, ec);
    config_ = std::make_unique<Config>("Main", paths_.settingsFile, false);
    layout_.load(paths_.layoutFile);

    installHelpViewer();
    installValueEditors();

    // The preferences are read once the main window exists (its document
    // types name their sections).
    frame_ = std::make_unique<SFFrameWindow>(prefs_, &layout_);
    installFrameExtensions(*frame_);
    std::vector<std::string> types;
    for (const auto& t : frame_->documents().types()) types.push_back(t->name().toStdString());
    prefs_ = loadPreferences(*config_, types, paths_.driversRoot.string());
    setHexPrefixIndex(prefs_.hexType);

    if (layout_.mainGeometry.empty()) {
        // First start: most of the screen, centred.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect avail = screen->availableGeometry();
            const QSize size(std::min(1280, avail.width() * 17 / 20),
                             std::min(900, avail.height() * 17 / 20));
            frame_->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, avail));
        }
    } else {
        QByteArray bytes(reinterpret_cast<const char*>(layout_.mainGeometry.data()),
                         static_cast<qsizetype>(layout_.mainGeometry.size()));
        QDataStream in(bytes);
        qint32 version = 0;
        QRect r;
        in >> version >> r;
        if (in.status() == QDataStream::Ok && version == 1 && r.width() >= 200 &&
            r.height() >= 150 && r.width() < 20000 && r.height() < 20000)
            frame_->setGeometry(r);
        if (layout_.mainMaximized) frame_->setWindowState(Qt::WindowMaximized);
        if (!layout_.mainBars.empty())
            frame_->restoreBars(QByteArray(reinterpret_cast<const char*>(layout_.mainBars.data()),
                                           static_cast<qsizetype>(layout_.mainBars.size())));
    }

    if (!options.socketName.isEmpty()) {
        server_ = new LocalServer(
            kMaxHandOverBytes + 8,
            [this](const std::vector<std::uint8_t>& bytes) { return takeHandOver(bytes); }, this);
        if (!server_->listen(options.socketName)) {
            // A copy that ended without cleaning up leaves its socket file
            // behind; one that answers is alive (it started at the same
            // moment) and keeps its name.
            if (!sendToLocalServer(options.socketName, {}, 0, 200, 0)) {
                LocalServer::remove(options.socketName);
                server_->listen(options.socketName);
            }
        }
    }
}

SysforgeApp::~SysforgeApp() {
    closeHelpViewer();
    saveState();
    // The windows go while the preferences they refer to still exist.
    frame_.reset();
    if (theApp == this) theApp = nullptr;
}

SysforgeApp* SysforgeApp::instance() {
    return theApp;
}

void SysforgeApp::applyPreferences() {
    setHexPrefixIndex(prefs_.hexType);
    if (frame_) frame_->refreshAllValues();
}

void SysforgeApp::saveState() {
    savePreferences(*config_, prefs_);
    config_->save();
    if (prefs_.autoSaveLayout != 0) layout_.save(paths_.layoutFile);
}

std::vector<std::uint8_t> SysforgeApp::takeHandOver(const std::vector<std::uint8_t>& bytes) {
    bool complete = false;
    auto files = decodeHandOver({bytes.data(), bytes.size()}, &complete);
    if (!complete) return {};
    if (files && frame_) {
        QStringList list;
        for (const std::string& f : *files) list << QString::fromStdString(f);
        frame_->raiseToFront();
        // Opened after this callback: opening may ask questions.
        QPointer<SFFrameWindow> f = frame_.get();
        QMetaObject::invokeMethod(
            this,
            [f, list] {
                if (f) f->openFiles(list);
            },
            Qt::QueuedConnection);
    }
    return {'O', 'K'};
}

bool handOverToRunningCopy(const QString& socketName, const QStringList& files) {
    return sendToLocalServer(socketName, encodeHandOver(toStd(files)), 2, 1000, 3000);
}

namespace {

// SIGTERM and SIGINT (the session ending, a kill from a terminal) close the
// main window the ordinary way, so that the settings and the layout are saved
// and modified documents are asked about.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

void closeOnSignals(SFFrameWindow* frame) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, frame);
    QObject::connect(notifier, &QSocketNotifier::activated, frame, [frame] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        frame->close();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
}

// Reads the font configuration (some dozens of XML files and the font
// caches), the longest single step of a start, which the toolkit would
// otherwise do on its first text. The toolkit reads it through the same
// library, which keeps one configuration per process. Looked up by name: the
// library comes with the toolkit, and without it there is nothing to read.
void readFontConfiguration() {
    using Init = int (*)();
    if (const auto init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "FcInit"))) init();
}

}  // namespace

std::optional<int> answerCommandLine(const QStringList& args, QTextStream& out) {
    QCommandLineParser parser;
    // "-platform xcb" and the like belong to Qt, not to single letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Sysforge, the editor of MIDI instrument drivers. Opens the driver "
                       "sources (.d) and other files given; a second start hands them to the "
                       "copy that is already running."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Driver sources or binary files to open."),
                                 QStringLiteral("[files...]"));
    // Unknown options are Qt's own (-style, -platform): not ours to refuse.
    parser.parse(args);
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        out << parser.helpText().replace(QStringLiteral("<executable_name>"),
                                         QStringLiteral("sysforge"));
        return 0;
    }
    if (parser.isSet(version)) {
        out << "sysforge " << SF_VERSION << "\n";
        return 0;
    }
    return std::nullopt;
}

int runSysforge(int argc, char** argv) {
    // A peer that goes away (a stopped JACK server, a closed socket) fails
    // the write; it never ends the program and its unsaved documents.
    ::signal(SIGPIPE, SIG_IGN);
    // --help and --version answer before anything needs a display or a
    // running copy.
    {
        QStringList args;
        for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
        QTextStream out(stdout);
        if (const auto code = answerCommandLine(args, out)) return *code;
    }
    // On the other core while the application connects to the display; done
    // before the first window is built, and on every way out before the
    // application ends: the toolkit's font database lets go of the
    // configuration when it goes, which must not happen while it is read (a
    // start that hands its files over ends at once).
    HelperThread fontConfiguration(readFontConfiguration);
    GuardedApplication app(argc, argv);
    struct JoinedFirst {
        HelperThread& thread;
        ~JoinedFirst() { thread.join(); }
    } joinedFirst{fontConfiguration};
    QApplication::setApplicationName(QStringLiteral("Sysforge"));
    QApplication::setApplicationVersion(QStringLiteral(SF_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.sysforge.Sysforge"));

    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1)) args.push_back(a.toStdString());
    QStringList files;
    for (const std::string& f : commandLineFiles(args, QDir::currentPath().toStdString()))
        files << QString::fromStdString(f);

    const AppPaths paths = SysforgeApp::defaultPaths();
    const QString socket = SysforgeApp::socketNameFor(paths);
    if (handOverToRunningCopy(socket, files)) return 1;
    // Not before: a start that hands its files over needs no icon theme.
    QApplication::setWindowIcon(appIcon());
    fontConfiguration.join();

    SysforgeApp sysforge(SysforgeApp::Options{QString(), socket});
    SFFrameWindow* frame = sysforge.frame();
    QObject::connect(frame, &SFFrameWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    closeOnSignals(frame);
    frame->show();
    frame->openFiles(files);
    return app.exec();
}

}  // namespace sf::gui
