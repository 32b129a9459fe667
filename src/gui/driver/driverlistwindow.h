// The driver selection list: a floating window, captioned "Driver List",
// with one line per driver found by a search ("NAME.D (folder)"). A double
// click opens the driver and selects the searched setting.
#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "driver/library.h"

class QListView;

namespace sf::gui {

// The lines of the list for a view; rows follow DriverList's sorted order.
class DriverListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void clear();
    // Adds a line where its text sorts; answers its row.
    int add(const std::filesystem::path& path, std::optional<SettingRef> ref);
    void addAll(std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> lines);
    const DriverList& list() const { return list_; }

  private:
    DriverList list_;
};

class DriverListWindow : public QWidget {
    Q_OBJECT
  public:
    // Opening a line: the driver's full path and the setting to select.
    using OpenHandler =
        std::function<void(const std::filesystem::path&, const std::optional<SettingRef>&)>;
    static void setOpenHandler(OpenHandler handler);

    // "&Driver selection list": the window, created when it is not open,
    // restored and brought to the front when it is.
    static DriverListWindow* showList(QWidget* owner);
    // The open window, or null.
    static DriverListWindow* instance();
    // The placement kept between two openings while the program runs.
    static QRect rememberedPlacement();

    ~DriverListWindow() override;

    void clearList();
    void addLine(const std::filesystem::path& path, std::optional<SettingRef> ref);
    void addLines(std::vector<std::pair<std::filesystem::path, std::optional<SettingRef>>> lines);
    // "Driver List (%d items out of %d)" with the lines and `examined`.
    void setCaption(int examined);

    const DriverList& list() const { return model_->list(); }
    QListView* listView() const { return view_; }

    // Opens the line at `row` as a double click does.
    void openLine(int row);

  signals:
    void lineOpened(const QString& path);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    explicit DriverListWindow(QWidget* owner);
    void keepPlacement();

    DriverListModel* model_;
    QListView* view_;
};

}  // namespace sf::gui
