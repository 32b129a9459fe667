// The two help windows: the help viewer (the bundled HTML pages, opened at
// a topic by showHelp) and the floating context help window that shows the
// help text of the selected setting.
#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace sf::gui {

// The help pages: "qrc:/help/index.html" and "qrc:/help/<context>.html".
QUrl helpTopicUrl(int context);

class HelpViewer : public QWidget {
    Q_OBJECT
  public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // The one viewer, created on first use.
    static HelpViewer* instance();
    // Shows the topic (0: the contents) and brings the viewer to the front.
    void showTopic(int context);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

// Routes sf::gui::showHelp to the help viewer.
void installHelpViewer();
// Closes the help viewer when it is open (the program ends).
void closeHelpViewer();

// The floating "Help" window. It keeps its placement for the life of the
// program: it opens where it was when last closed (first at 50,50 with a
// size of 350 x 200).
class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent);
    ~HelpWindow() override;

    // Whether the window is open now (process-wide).
    static bool isOpen();
    // Shows the window at its kept placement without taking the focus.
    void showKept();
    void setText(const QString& text);
    QString text() const;

  signals:
    void openChanged(bool open);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPlainTextEdit* edit_;
};

}  // namespace sf::gui
