// The driver author's tools in the editor: "Check driver" (F7) with its
// findings list, "Compare with..." with its list of differences, "Export as
// text..." and "Import text...". The lists sit in a dock beside the source
// windows; a double click on a row selects that row in the source's tree.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "tools/drivercheck.h"
#include "tools/driverdiff.h"
#include "source/sourceview.h"

class QStandardItemModel;
class QTreeView;
class QDockWidget;

namespace sf::gui {

class SFFrameWindow;

// A list of rows of one source view (findings or differences), each naming
// the setting to select on a double click.
class RowListWindow : public QWidget {
    Q_OBJECT
  public:
    explicit RowListWindow(const QStringList& headers, QWidget* parent = nullptr);

    // The source the rows belong to; rows are selected in it.
    void setSource(SourceView* view);
    SourceView* source() const { return view_; }

    void showFindings(const std::vector<Finding>& findings);
    void showDifferences(const std::vector<DiffRow>& rows);

    QTreeView* list() const { return list_; }
    int rowCount() const;
    // What a double click on row `row` does: selects its setting in the
    // source (and brings the source's window forward). False when the row
    // names no setting or the source has gone.
    bool activateRow(int row);

  private:
    QTreeView* list_;
    QStandardItemModel* model_;
    std::vector<SettingRef> refs_;
    QPointer<SourceView> view_;
};

// Connects and enables the four commands; called once at start-up.
void installDriverTools(SFFrameWindow& frame);

// The docks of the two lists (made on first use), for tests.
QDockWidget* findingsDock();
QDockWidget* compareDock();

}  // namespace sf::gui
