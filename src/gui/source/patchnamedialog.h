// "ROM patch names": the names of a ROM sub-bank as one line per patch, with
// "&Check", "Import" and a checked OK. A thin view over sf::PatchNameEditor.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "source/romnames.h"

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace sf::gui {

class PatchNameDialog : public QDialog {
    Q_OBJECT
  public:
    PatchNameDialog(PatchNameEditor& editor, QWidget* parent);

    QPlainTextEdit* textBox() const { return text_; }
    // "Import" with a chosen file (the button asks for one).
    void importFile(const QString& path);

    void accept() override;
    // The source as OK would leave it with the names typed so far: its
    // driver's room is shown, and OK asks before names no driver could hold.
    void setCandidate(std::function<std::unique_ptr<SourceRecord>()> candidate);

  private:
    void takeText();
    void showRoom();

    PatchNameEditor& editor_;
    QPlainTextEdit* text_;
    QLabel* room_;
    QTimer* roomTimer_;
    std::function<std::unique_ptr<SourceRecord>()> candidate_;
};

// Opens the dialog for a sub-bank; on OK its block replaces the old one.
bool editRomNames(QWidget* parent, SourceRecord& r, int module, int subBank);

}  // namespace sf::gui
