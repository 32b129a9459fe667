// "Analyse with driver..." on a hex view: the chooser of the driver source
// and module, and the analysis window with its lists of messages, patches
// and findings. While the window is open the hex view is coloured by the
// analysis; a double click on a message or patch selects its bytes in the
// hex view, one on a finding selects its setting in the source window, and
// F5 analyses again (after an edit of the source). A finding about the dump
// itself (bytes outside messages, a damaged checksum) selects its bytes.
//
// The driver and module a "Request dump" came from are chosen already
// (MemoryDocument::setRequestOrigin).
#pragma once

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "instrument/analysis.h"
#include "source/sourceview.h"
#include "sysex/memorydocument.h"

class QComboBox;
class QLabel;
class QStandardItemModel;
class QTreeView;

namespace sf::gui {

class SFFrameWindow;
class SourceDocument;

// Picks one of the open driver sources and one of its modules.
class AnalyseDialog : public QDialog {
    Q_OBJECT
  public:
    AnalyseDialog(std::vector<SourceDocument*> sources, int source, int module, QWidget* parent);
    SourceDocument* source() const;
    int module() const;
    QComboBox* sourceBox() const { return sourceBox_; }
    QComboBox* moduleBox() const { return moduleBox_; }

  private:
    void fillModules(int module);

    std::vector<SourceDocument*> sources_;
    QComboBox* sourceBox_;
    QComboBox* moduleBox_;
};

class AnalysisWindow : public QWidget {
    Q_OBJECT
  public:
    AnalysisWindow(MemoryDocument& dump, SourceView* source, int module, QWidget* parent);
    ~AnalysisWindow() override;

    // Analyses again with the source as it is now, colours the hex view and
    // fills the lists.
    void analyse();
    // Analyses with another source or module.
    void setDriver(SourceView* source, int module);

    MemoryDocument* dump() const { return dump_; }
    SourceView* sourceView() const { return source_; }
    int module() const { return module_; }
    const DumpAnalysis& analysis() const { return analysis_; }
    QTreeView* messageList() const { return messages_; }
    QTreeView* patchList() const { return patches_; }
    QTreeView* findingList() const { return findings_; }

    // What a double click on a row does; false when it leads nowhere.
    bool selectMessage(int row);
    bool selectPatch(int row);
    bool selectFinding(int row);

  private:
    void fillLists();
    void colourHexView();
    bool selectBytes(std::size_t offset, std::size_t size);

    QPointer<MemoryDocument> dump_;
    QPointer<SourceView> source_;
    int module_ = 0;
    DumpAnalysis analysis_;
    QLabel* summary_;
    QTreeView* messages_;
    QTreeView* patches_;
    QTreeView* findings_;
    QStandardItemModel* messageModel_;
    QStandardItemModel* patchModel_;
    QStandardItemModel* findingModel_;
};

// The analysis window of a binary document, or null.
AnalysisWindow* analysisWindowOf(const MemoryDocument* dump);

// Connects "Analyse with driver..." (Tools menu and the hex view's context
// menu); called once at start-up.
void installAnalysis(SFFrameWindow& frame);

}  // namespace sf::gui
