// The application object: the settings file and the preferences, the window
// layout, the single-instance server and the main window.
//
//   SysforgeApp::instance()->preferences()   process-wide preferences (read
//                                             and change them directly; they
//                                             are saved at the end)
//   SysforgeApp::instance()->config()        the settings store (main.set),
//                                             for sections of your own
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "editor/preferences.h"
#include "editor/session.h"
#include "framework/config.h"

class QTextStream;

namespace sf::gui {

class LocalServer;
class SFFrameWindow;

class SysforgeApp : public QObject {
    Q_OBJECT
  public:
    struct Options {
        // The folder of main.set and layout.dat; empty: from the program's
        // folder and the environment (portable "system" folder,
        // SYSFORGE_CONFIG_DIR, XDG).
        QString configDir;
        // Listen for second starts under this local socket name; empty: no
        // server (tests that need none).
        QString socketName;
    };

    // Needs a QApplication. Loads the settings, creates the main window
    // (not shown yet) and installs the help viewer and the value editors.
    explicit SysforgeApp(const Options& options);
    // Saves the preferences, the settings file and the window layout.
    ~SysforgeApp() override;

    static SysforgeApp* instance();

    Config& config() { return *config_; }
    Preferences& preferences() { return prefs_; }
    const AppPaths& paths() const { return paths_; }
    WindowLayout& layout() { return layout_; }
    SFFrameWindow* frame() const { return frame_.get(); }

    // The preferences changed (dialog OK): the prefix goes to the core and
    // every open view redraws its values.
    void applyPreferences();
    // Writes main.set and layout.dat now.
    void saveState();

    // The paths of the program's own start-up: resolved for this program.
    static AppPaths defaultPaths(const QString& configDirOverride = {});
    static QString socketNameFor(const AppPaths& paths);

  private:
    // Answers "OK" to a whole hand-over request and opens its files.
    std::vector<std::uint8_t> takeHandOver(const std::vector<std::uint8_t>& bytes);

    AppPaths paths_;
    std::unique_ptr<Config> config_;
    Preferences prefs_;
    WindowLayout layout_;
    std::unique_ptr<SFFrameWindow> frame_;
    LocalServer* server_ = nullptr;
};

// Hands `files` to a running copy listening on `socketName`; answers false
// when none answers.
bool handOverToRunningCopy(const QString& socketName, const QStringList& files);

// The whole program: hand-over to a running copy (exit code 1), or start,
// show the main window with the files of the command line, run.
// "--help" and "--version" (with "-h", "-v", "--help-all"): the text
// written to `out` and the exit code; nothing for every other command line.
std::optional<int> answerCommandLine(const QStringList& args, QTextStream& out);

int runSysforge(int argc, char** argv);

}  // namespace sf::gui
