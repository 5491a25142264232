#include "ui/views/accessible_views.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <vector>

#include "engine/arrangement_picture.h"
#include "ui/fields/field_names.h"
#include "ui/views/arrangement_display.h"
#include "ui/views/described_items.h"

namespace halvorn {
namespace {

// What an item's interface asks of the view's: the view's interface owns
// its items' and deletes them before it goes, so an item never outlives it.
class ItemSource {
  public:
    virtual ~ItemSource() = default;
    virtual QWidget* view() const = 0;
    // Items, or 1 for the text said in place of none.
    virtual int childCount() const = 0;
    virtual QString childText(int index) const = 0;
    virtual QRect childRect(int index) const = 0;  // in the view's coordinates
    virtual bool isCursor(int index) const = 0;
    virtual QAccessible::Role childRole(int index) const = 0;
    virtual QAccessibleInterface* self() const = 0;
};

// One item (or cell) of a view: no object of its own, its text and place
// read from the view each time they are asked for.
class AccessibleItem : public QAccessibleInterface {
  public:
    AccessibleItem(const ItemSource& source, int index) : source_(source), index_(index) {}

    bool isValid() const override { return source_.view() && index_ < source_.childCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        QWidget* top = source_.view()->window();
        return top ? top->windowHandle() : nullptr;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return source_.self(); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? source_.childText(index_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        const QRect area = source_.childRect(index_);
        return area.isEmpty() ? QRect()
                              : QRect(source_.view()->mapToGlobal(area.topLeft()), area.size());
    }
    QAccessible::Role role() const override { return source_.childRole(index_); }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (role() == QAccessible::StaticText) return state;
        state.focusable = true;
        state.selectable = true;
        state.invisible = source_.childRect(index_).isEmpty();
        state.selected = source_.isCursor(index_);
        state.focused = state.selected && source_.view()->hasFocus();
        return state;
    }

  protected:
    int index() const { return index_; }

  private:
    const ItemSource& source_;
    int index_;
};

// The items' interfaces, made the first time each is asked for and kept
// (a screen reader holds on to them by their ids) until the view's own goes.
class ItemCache {
  public:
    ItemCache() = default;
    ItemCache(const ItemCache&) = delete;
    ItemCache& operator=(const ItemCache&) = delete;
    ~ItemCache() {
        for (const QAccessible::Id id : ids_) {
            if (id != 0) QAccessible::deleteAccessibleInterface(id);
        }
    }

    template <typename Make>
    QAccessibleInterface* at(int index, Make make) const {
        if (index < 0) return nullptr;
        if (static_cast<std::size_t>(index) >= ids_.size())
            ids_.resize(static_cast<std::size_t>(index) + 1, 0);
        QAccessible::Id& id = ids_[static_cast<std::size_t>(index)];
        if (id == 0) id = QAccessible::registerAccessibleInterface(make());
        return QAccessible::accessibleInterface(id);
    }

    int indexOf(const QAccessibleInterface* item) const {
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(item));
        for (std::size_t i = 0; i < ids_.size(); ++i) {
            if (ids_[i] == id) return static_cast<int>(i);
        }
        return -1;
    }

  private:
    mutable std::vector<QAccessible::Id> ids_;
};

// A painted view that lists its items (ui/views/described_items.h).
class AccessibleItemList final : public QAccessibleWidget, public ItemSource {
  public:
    AccessibleItemList(QWidget* view, const DescribedItems& items)
        : QAccessibleWidget(view, QAccessible::List), items_(items) {}

    QWidget* view() const override { return widget(); }
    QAccessibleInterface* self() const override {
        return QAccessible::queryAccessibleInterface(widget());
    }
    int childCount() const override { return std::max(items_.itemCount(), 1); }
    QString childText(int index) const override {
        return items_.itemCount() > 0 ? items_.itemText(index) : items_.emptyText();
    }
    QRect childRect(int index) const override {
        return items_.itemCount() > 0 ? items_.itemRect(index) : widget()->rect();
    }
    bool isCursor(int index) const override { return index == items_.cursorItem(); }
    QAccessible::Role childRole(int) const override {
        return items_.itemCount() > 0 ? QAccessible::ListItem : QAccessible::StaticText;
    }

    QAccessibleInterface* child(int index) const override {
        if (index >= childCount()) return nullptr;
        return cache_.at(index, [&] { return new AccessibleItem(*this, index); });
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return cache_.indexOf(child);
    }
    QAccessibleInterface* focusChild() const override {
        return widget()->hasFocus() ? child(items_.cursorItem()) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < items_.itemCount(); ++i) {
            if (items_.itemRect(i).contains(at)) return child(i);
        }
        return nullptr;
    }

  private:
    const DescribedItems& items_;
    ItemCache cache_;
};

class AccessibleArrangement;

class AccessibleCell final : public AccessibleItem, public QAccessibleTableCellInterface {
  public:
    AccessibleCell(const AccessibleArrangement& table, int index);

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override { return state().selected; }
    QList<QAccessibleInterface*> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return index() % kArrangementColumns; }
    int rowIndex() const override { return index() / kArrangementColumns; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }
};

// The arrangement: a row per track, a column per measure shown; the row
// and column descriptions are the track's name and the measure's number.
class AccessibleArrangement final : public QAccessibleWidget,
                                    public QAccessibleTableInterface,
                                    public ItemSource {
  public:
    explicit AccessibleArrangement(CArrangementDisplay* display)
        : QAccessibleWidget(display, QAccessible::Table) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        const QString text = QAccessibleWidget::text(kind);
        if (kind != QAccessible::Description) return text;
        return display()->statusText() + QStringLiteral(". ") + text;
    }

    // ItemSource
    QWidget* view() const override { return widget(); }
    QAccessibleInterface* self() const override {
        return QAccessible::queryAccessibleInterface(widget());
    }
    int childCount() const override { return std::max(cellCount(), 1); }
    QString childText(int index) const override {
        if (cellCount() == 0) return QStringLiteral("No tracks: the song has no blocks");
        return display()->cellText(index / kArrangementColumns, index % kArrangementColumns);
    }
    QRect childRect(int index) const override {
        if (cellCount() == 0) return widget()->rect();
        return display()->cellRect(index / kArrangementColumns, index % kArrangementColumns);
    }
    bool isCursor(int index) const override {
        return cellCount() > 0 &&
               index == display()->cursorRow() * kArrangementColumns + display()->cursorColumn();
    }
    QAccessible::Role childRole(int) const override {
        return cellCount() > 0 ? QAccessible::Cell : QAccessible::StaticText;
    }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        return cache_.at(index, [&]() -> QAccessibleInterface* {
            if (cellCount() == 0) return new AccessibleItem(*this, index);
            return new AccessibleCell(*this, index);
        });
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return cache_.indexOf(child);
    }
    QAccessibleInterface* focusChild() const override {
        if (!widget()->hasFocus() || cellCount() == 0) return nullptr;
        return cellAt(display()->cursorRow(), display()->cursorColumn());
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
        for (int index = 0; index < cellCount(); ++index) {
            if (childRect(index).contains(at)) return child(index);
        }
        return nullptr;
    }

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
        return child(row * kArrangementColumns + column);
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface*> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override { return display()->columnName(column); }
    QString rowDescription(int row) const override { return display()->rowName(row); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return rowCount() > 0 ? kArrangementColumns : 0; }
    int rowCount() const override { return display()->trackRows(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

  private:
    CArrangementDisplay* display() const { return static_cast<CArrangementDisplay*>(widget()); }
    int cellCount() const { return rowCount() * kArrangementColumns; }

    ItemCache cache_;
};

AccessibleCell::AccessibleCell(const AccessibleArrangement& table, int index)
    : AccessibleItem(table, index) {}

QAccessibleInterface* accessibleView(QObject* object) {
    if (auto* arrangement = qobject_cast<CArrangementDisplay*>(object))
        return new AccessibleArrangement(arrangement);
    auto* widget = qobject_cast<QWidget*>(object);
    if (const auto* items = dynamic_cast<const DescribedItems*>(object); widget && items)
        return new AccessibleItemList(widget, *items);
    return nullptr;
}

QAccessibleInterface* accessibleInterface(const QString&, QObject* object) {
    if (QAccessibleInterface* view = accessibleView(object)) return view;
    return accessibleField(object);
}

}  // namespace

void installAccessibleInterfaces() {
    QAccessible::installFactory(&accessibleInterface);
}

}  // namespace halvorn
