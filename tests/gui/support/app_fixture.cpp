#include "support/app_fixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTest>
#include <QToolBar>

#include "ui/qtprompter.h"

namespace sf::testsupport {

AppFixture::AppFixture() {
    previous_ = gui::setPrompter(&prompter_);
    restart();
}

void AppFixture::restart() {
    app_.reset();
    app_ =
        std::make_unique<gui::SysforgeApp>(gui::SysforgeApp::Options{dir_.filePath("config"), {}});
    app_->frame()->show();
}

AppFixture::~AppFixture() {
    app_.reset();
    gui::setPrompter(previous_);
}

int runCli(const QStringList& args, const QString& folder, QString* err) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral(SF_CLI_PATH), args);
    const bool ended = p.waitForFinished(15000) && p.exitStatus() == QProcess::NormalExit;
    if (err) *err = ended ? QString::fromUtf8(p.readAllStandardError()) : "timed out";
    return ended ? p.exitCode() : -1;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString AppFixture::makeSource(const QString& name, int modules) {
    const QString p = path(name);
    runCli({"new", p});
    if (modules != 1) runCli({"set", p, "103", QString::number(modules)});
    return p;
}

void AppFixture::trigger(const char* objectName) {
    QAction* a = frame().commandAction(QString::fromLatin1(objectName));
    QVERIFY2(a, objectName);
    frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame()));
    QMenuBar* bar = frame().menuBar();
    for (QAction* m : bar->actions())
        if (m->menu() && m->isVisible() && m->menu()->actions().contains(a)) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(m).center());
            QTRY_VERIFY(m->menu()->isVisible());
            QTest::mouseClick(m->menu(), Qt::LeftButton, {}, m->menu()->actionGeometry(a).center());
            return;
        }
    // A command of the control bar alone.
    QWidget* button = frame().findChild<QToolBar*>("ControlBar")->widgetForAction(a);
    QVERIFY2(button, objectName);
    QTest::mouseClick(button, Qt::LeftButton);
}

void AppFixture::answerFileDialogs(std::function<QString(const QString&)> answer) {
    frame().documents().setFileDialog(
        [answer](QWidget*, gui::DocumentManager::DialogMode, const QString&, const QString& folder,
                 const QStringList&, int*) { return answer(folder); });
}

}  // namespace sf::testsupport
