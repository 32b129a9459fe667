// A running editor for one test: its own settings folder, the main window
// shown, the questions answered by a RecordingPrompter, files made with
// sysforge-cli.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/frame.h"
#include "app/sysforgeapp.h"
#include "framework/prompter.h"

namespace sf::testsupport {

class AppFixture {
  public:
    AppFixture();
    ~AppFixture();

    gui::SysforgeApp& app() { return *app_; }
    gui::SFFrameWindow& frame() { return *app_->frame(); }
    RecordingPrompter& prompter() { return prompter_; }
    QString dir() const { return dir_.path(); }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Writes a new driver source with `modules` modules through sysforge-cli.
    QString makeSource(const QString& name, int modules = 1);
    // Ends the editor (saving its settings and layout) and starts it again
    // on the same settings folder.
    void restart();
    // Chooses the frame command `objectName` with the mouse, from its menu
    // or else the control bar.
    void trigger(const char* objectName);
    // Answers every file dialog of the documents with `answer(folder
    // offered)`; an empty answer cancels.
    void answerFileDialogs(std::function<QString(const QString& folder)> answer);
    void answerFileDialogs(const QString& path) {
        answerFileDialogs([path](const QString&) { return path; });
    }

  private:
    QTemporaryDir dir_;
    RecordingPrompter prompter_;
    Prompter* previous_ = nullptr;
    std::unique_ptr<gui::SysforgeApp> app_;
};

// Runs sysforge-cli with `args` in `folder`; answers its exit code (-1 when
// it did not end within 15 seconds) and what it wrote to stderr.
int runCli(const QStringList& args, const QString& folder = {}, QString* err = nullptr);
// A file's bytes (empty when it cannot be read); writes `bytes` as a file.
QByteArray bytesOf(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

}  // namespace sf::testsupport
