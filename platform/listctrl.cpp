// The list control in report view: rows of byte strings shown in columns, with selection and
// focus reported to the parent dialog as item-changing notifications, and double clicks as NM_DBLCLK.
#include "internal.h"

#include "utf8.h"
#include "wipe.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTableView>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace afx_detail {

class ListModel : public QAbstractTableModel {
public:
    // Rows hold a book's entries in clear; a row's texts are wiped when it goes away.
    struct Row {
        std::vector<std::string, WipingAllocator<std::string>> cells;
        UINT_PTR data = 0;
        UINT state = 0; // LVIS_SELECTED | LVIS_FOCUSED as last reported

        Row() = default;
        Row(Row&&) noexcept = default;
        Row& operator=(Row&&) noexcept = default;
        ~Row() { Wipe(); }
        void Wipe() noexcept {
            for (std::string& cell : cells)
                WipeString(cell);
        }
    };

    explicit ListModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_headings.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return DisplayText(Cell(index.row(), index.column()));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < int(m_headings.size()))
            return ToQString(m_headings[std::size_t(section)]);
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    // Bytes that are not UTF-8 are shown as Windows-1252; the cell keeps them unchanged.
    static QString DisplayText(const std::string& bytes) {
        return ToQString(utf8::IsValid(bytes) ? bytes : utf8::FromWindows1252(bytes));
    }

    const std::string& Cell(int row, int column) const {
        static const std::string empty;
        if (row < 0 || row >= int(m_rows.size()))
            return empty;
        const auto& cells = m_rows[std::size_t(row)].cells;
        return column >= 0 && column < int(cells.size()) ? cells[std::size_t(column)] : empty;
    }

    int InsertColumn(int column, const std::string& heading) {
        column = std::clamp(column, 0, int(m_headings.size()));
        beginInsertColumns({}, column, column);
        m_headings.insert(m_headings.begin() + column, heading);
        for (Row& row : m_rows)
            if (int(row.cells.size()) > column)
                row.cells.insert(row.cells.begin() + column, std::string());
        endInsertColumns();
        return column;
    }

    int InsertRow(int row, const std::string& text) {
        row = std::clamp(row, 0, int(m_rows.size()));
        beginInsertRows({}, row, row);
        Row record;
        record.cells.push_back(text);
        m_rows.insert(m_rows.begin() + row, std::move(record));
        endInsertRows();
        return row;
    }

    bool SetCell(int row, int column, const std::string& text) {
        if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= int(m_headings.size()))
            return false;
        auto& cells = m_rows[std::size_t(row)].cells;
        if (int(cells.size()) <= column)
            cells.resize(std::size_t(column) + 1);
        WipeString(cells[std::size_t(column)]);
        cells[std::size_t(column)] = text;
        const QModelIndex at = index(row, column);
        emit dataChanged(at, at, {Qt::DisplayRole});
        return true;
    }

    bool RemoveRow(int row) {
        if (row < 0 || row >= int(m_rows.size()))
            return false;
        beginRemoveRows({}, row, row);
        if (m_rows[std::size_t(row)].state != 0)
            --m_statefulRows;
        m_rows[std::size_t(row)].Wipe();
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
        return true;
    }

    void Clear() {
        beginResetModel();
        m_rows.clear();
        m_rows.shrink_to_fit();
        m_statefulRows = 0;
        endResetModel();
    }

    // Remembers a row's reported state, counting the rows that are selected or focused.
    void SetRowState(Row& row, UINT state) {
        m_statefulRows += int(state != 0) - int(row.state != 0);
        row.state = state;
    }
    // How many rows were last reported selected or focused; lets bulk changes skip the scan.
    int StatefulRows() const { return m_statefulRows; }

    void Reserve(int count) { m_rows.reserve(std::size_t(std::max(count, 0))); }
    Row* RowAt(int row) { return row >= 0 && row < int(m_rows.size()) ? &m_rows[std::size_t(row)] : nullptr; }
    const Row* RowAt(int row) const {
        return row >= 0 && row < int(m_rows.size()) ? &m_rows[std::size_t(row)] : nullptr;
    }

    DWORD extendedStyle = 0;
    bool notificationsMuted = false;
    // While one user action or one SetItemState runs, changed rows are collected here and
    // reported once it is over, so each row gets one notification with its final state.
    int batchDepth = 0;
    std::vector<int> pendingRows;

private:
    std::vector<std::string> m_headings;
    std::vector<Row, WipingAllocator<Row>> m_rows;
    int m_statefulRows = 0;
};

namespace {

QTableView* ViewOf(QWidget* widget) {
    return qobject_cast<QTableView*>(widget);
}
ListModel* ModelOf(QWidget* widget) {
    QTableView* view = ViewOf(widget);
    // Until its own model is set, a view shows the toolkit's empty model.
    return view ? dynamic_cast<ListModel*>(view->model()) : nullptr;
}

UINT ActualState(QTableView* view, int row) {
    UINT state = 0;
    QItemSelectionModel* selection = view->selectionModel();
    if (selection->isRowSelected(row, {}))
        state |= LVIS_SELECTED;
    if (selection->currentIndex().isValid() && selection->currentIndex().row() == row)
        state |= LVIS_FOCUSED;
    return state;
}

// Reports every row whose selection or focus changed to the parent dialog.
void ReportStateChanges(QTableView* view, const std::vector<int>& rows) {
    ListModel* model = ModelOf(view);
    if (model->batchDepth > 0 && !model->notificationsMuted) {
        model->pendingRows.insert(model->pendingRows.end(), rows.begin(), rows.end());
        return;
    }
    for (const int row : rows) {
        ListModel::Row* record = model->RowAt(row);
        if (!record)
            continue;
        const UINT state = ActualState(view, row);
        if (state == record->state)
            continue;
        NMLISTVIEW nm;
        nm.hdr.idFrom = view->property(kCtrlIdProperty).toUInt();
        nm.hdr.code = LVN_ITEMCHANGING;
        nm.iItem = row;
        nm.uNewState = state;
        nm.uOldState = record->state;
        nm.uChanged = LVIF_STATE;
        nm.lParam = LPARAM(record->data);
        model->SetRowState(*record, state);
        if (model->notificationsMuted)
            continue;
        if (CDialog* dlg = DialogOfWidget(view->parentWidget()))
            dlg->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
}

void AddRows(std::vector<int>& rows, const QItemSelection& selection) {
    for (const QItemSelectionRange& range : selection)
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
}

// Recomputes the remembered states after a change made by the program, without notifying.
void ResyncStates(QTableView* view) {
    ListModel* model = ModelOf(view);
    const bool muted = model->notificationsMuted;
    model->notificationsMuted = true;
    std::vector<int> rows;
    AddRows(rows, view->selectionModel()->selection());
    for (int row = 0; model->StatefulRows() > 0 && row < model->rowCount(); ++row)
        if (model->RowAt(row)->state != 0)
            rows.push_back(row);
    if (view->selectionModel()->currentIndex().isValid())
        rows.push_back(view->selectionModel()->currentIndex().row());
    ReportStateChanges(view, rows);
    model->notificationsMuted = muted;
}

// Holds the notifications of one action back until it is complete, then reports each changed
// row once, in the order the rows were first touched.
class NotificationBatch {
public:
    explicit NotificationBatch(QTableView* view) : m_model(ModelOf(view)), m_view(view) {
        if (m_model)
            ++m_model->batchDepth;
    }
    ~NotificationBatch() {
        if (!m_model || !m_view || --m_model->batchDepth > 0)
            return;
        ListModel* model = m_model;
        std::vector<int> rows;
        for (const int row : std::exchange(model->pendingRows, {}))
            if (std::find(rows.begin(), rows.end(), row) == rows.end())
                rows.push_back(row);
        ReportStateChanges(m_view, rows);
    }
    NotificationBatch(const NotificationBatch&) = delete;
    NotificationBatch& operator=(const NotificationBatch&) = delete;

private:
    QPointer<ListModel> m_model;
    QPointer<QTableView> m_view;
};

// The report view: every input event is one user action for the notifications. Tab leaves the
// list instead of walking its cells; Home and End go to the first and the last row, as in a list
// (not to the ends of a row, as in a table). A context menu is the dialog's to show.
class ReportView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        if (action == MoveHome || action == MoveEnd) {
            const int row = action == MoveHome ? 0 : model()->rowCount() - 1;
            const int column = std::max(currentIndex().column(), 0);
            return model()->index(row, column);
        }
        return QTableView::moveCursor(action, modifiers);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // A copied cell could hold a password; copies are the dialog's, which guards them.
        if (event->matches(QKeySequence::Copy)) {
            event->accept();
            return;
        }
        // With or without Ctrl, Home and End choose their row, even the one that has the focus
        // already; a table would only move the focus.
        const bool homeOrEnd = event->key() == Qt::Key_Home || event->key() == Qt::Key_End;
        if (homeOrEnd && (event->modifiers() & ~Qt::ControlModifier) == Qt::NoModifier && model()->rowCount() > 0) {
            const QModelIndex target = moveCursor(event->key() == Qt::Key_Home ? MoveHome : MoveEnd, {});
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            scrollTo(target);
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        CDialog* dlg = DialogOfWidget(parentWidget());
        if (!dlg) {
            QTableView::contextMenuEvent(event);
            return;
        }
        const QPoint at = event->globalPos();
        dlg->SendMessage(WM_CONTEXTMENU, property(kCtrlIdProperty).toUInt(),
                         LPARAM((at.x() & 0xFFFF) | ((at.y() & 0xFFFF) << 16)));
    }
    bool event(QEvent* event) override {
        NotificationBatch batch(this);
        return QTableView::event(event);
    }
    bool viewportEvent(QEvent* event) override {
        bool handled = false;
        {
            NotificationBatch batch(this);
            handled = QTableView::viewportEvent(event);
        }
        // After the choice the click made is reported, as the original list reports them.
        if (event->type() == QEvent::MouseButtonDblClick)
            ReportDoubleClick(static_cast<QMouseEvent*>(event)->position().toPoint());
        return handled;
    }

private:
    // NM_DBLCLK with the row under the pointer, -1 below the last row.
    void ReportDoubleClick(const QPoint& at) {
        CDialog* dlg = DialogOfWidget(parentWidget());
        if (!dlg)
            return;
        const QModelIndex index = indexAt(at);
        NMITEMACTIVATE nm;
        nm.hdr.idFrom = property(kCtrlIdProperty).toUInt();
        nm.hdr.code = NM_DBLCLK;
        nm.iItem = index.isValid() ? index.row() : -1;
        nm.iSubItem = index.isValid() ? index.column() : 0;
        dlg->SendMessage(WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
};

} // namespace

QWidget* CreateListView(QWidget* parent) {
    auto* view = new ReportView(parent);
    auto* model = new ListModel(view);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setSortingEnabled(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setMinimumSectionSize(0);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    QItemSelectionModel* selection = view->selectionModel();
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, view,
                     [view](const QItemSelection& selected, const QItemSelection& deselected) {
                         std::vector<int> rows;
                         AddRows(rows, selected);
                         AddRows(rows, deselected);
                         ReportStateChanges(view, rows);
                     });
    QObject::connect(selection, &QItemSelectionModel::currentChanged, view,
                     [view](const QModelIndex& current, const QModelIndex& previous) {
                         std::vector<int> rows;
                         if (previous.isValid())
                             rows.push_back(previous.row());
                         if (current.isValid())
                             rows.push_back(current.row());
                         ReportStateChanges(view, rows);
                     });
    return view;
}

} // namespace afx_detail

using namespace afx_detail;

namespace {
// Runs a change made by the program with notifications held back, then resynchronises states.
template <class Fn> auto Quietly(QWidget* widget, Fn&& change) {
    ListModel* model = ModelOf(widget);
    const bool muted = model->notificationsMuted;
    model->notificationsMuted = true;
    auto result = change(*model);
    ResyncStates(ViewOf(widget));
    model->notificationsMuted = muted;
    return result;
}
} // namespace

void CListCtrl::OnAttached() {}

DWORD CListCtrl::GetExtendedStyle() const {
    const ListModel* model = ModelOf(m_hWnd);
    return model ? model->extendedStyle : 0;
}

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
    ListModel* model = ModelOf(m_hWnd);
    if (!model)
        return 0;
    const DWORD previous = model->extendedStyle;
    model->extendedStyle = style;
    QTableView* view = ViewOf(m_hWnd);
    // Rows are always selected whole here; grid lines follow the style.
    view->setShowGrid((style & LVS_EX_GRIDLINES) != 0);
    return previous;
}

int CListCtrl::InsertColumn(int column, const std::string& heading, int, int width) {
    ListModel* model = ModelOf(m_hWnd);
    if (!model)
        return -1;
    const int at = model->InsertColumn(column, heading);
    if (width >= 0)
        SetColumnWidth(at, width);
    return at;
}

int CListCtrl::GetColumnWidth(int column) const {
    QTableView* view = ViewOf(m_hWnd);
    return view && column >= 0 && column < view->model()->columnCount() ? view->horizontalHeader()->sectionSize(column)
                                                                        : 0;
}

BOOL CListCtrl::SetColumnWidth(int column, int width) {
    QTableView* view = ViewOf(m_hWnd);
    if (!view || column < 0 || column >= view->model()->columnCount())
        return FALSE;
    // Widths are clamped to what the header can show (0 to 1,048,575 pixels), never ignored.
    QHeaderView* header = view->horizontalHeader();
    header->resizeSection(column, std::clamp(width, 0, header->maximumSectionSize()));
    return TRUE;
}

int CListCtrl::GetItemCount() const {
    const ListModel* model = ModelOf(m_hWnd);
    return model ? model->rowCount() : 0;
}

int CListCtrl::InsertItem(int item, const std::string& text) {
    if (!ModelOf(m_hWnd) || item < 0)
        return -1;
    return Quietly(m_hWnd, [&](ListModel& model) { return model.InsertRow(item, text); });
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
    ListModel* model = ModelOf(m_hWnd);
    return model && model->SetCell(item, subItem, text);
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
    const ListModel* model = ModelOf(m_hWnd);
    return model ? model->Cell(item, subItem) : std::string();
}

int CListCtrl::GetItemText(int item, int subItem, char* buffer, int length) const {
    if (!buffer || length <= 0)
        return 0;
    const ListModel* model = ModelOf(m_hWnd);
    const std::string empty;
    const std::string& text = model ? model->Cell(item, subItem) : empty;
    const std::size_t copied = std::min(text.size(), std::size_t(length) - 1);
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return int(copied);
}

BOOL CListCtrl::SetItemData(int item, UINT_PTR data) {
    ListModel* model = ModelOf(m_hWnd);
    ListModel::Row* row = model ? model->RowAt(item) : nullptr;
    if (!row)
        return FALSE;
    row->data = data;
    return TRUE;
}

UINT_PTR CListCtrl::GetItemData(int item) const {
    const ListModel* model = ModelOf(m_hWnd);
    const ListModel::Row* row = model ? model->RowAt(item) : nullptr;
    return row ? row->data : 0;
}

BOOL CListCtrl::DeleteItem(int item) {
    if (!ModelOf(m_hWnd))
        return FALSE;
    return Quietly(m_hWnd, [&](ListModel& model) { return model.RemoveRow(item) ? TRUE : FALSE; });
}

BOOL CListCtrl::DeleteAllItems() {
    if (!ModelOf(m_hWnd))
        return FALSE;
    return Quietly(m_hWnd, [&](ListModel& model) {
        model.Clear();
        return TRUE;
    });
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
    QTableView* view = ViewOf(m_hWnd);
    if (!view || item < 0 || item >= view->model()->rowCount())
        return 0;
    return ActualState(view, item) & mask;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    QTableView* view = ViewOf(m_hWnd);
    if (view && item == -1 && (mask & LVIS_SELECTED)) {
        // Every row at once: select all or none.
        NotificationBatch batch(view);
        if (state & LVIS_SELECTED)
            view->selectAll();
        else
            view->selectionModel()->clearSelection();
        return TRUE;
    }
    if (!view || item < 0 || item >= view->model()->rowCount())
        return FALSE;
    QItemSelectionModel* selection = view->selectionModel();
    const QModelIndex index = view->model()->index(item, 0);
    NotificationBatch batch(view);
    if (mask & LVIS_SELECTED)
        selection->select(index,
                          ((state & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                              QItemSelectionModel::Rows);
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
        selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    return TRUE;
}

void CListCtrl::ReserveItems(int count) {
    if (ListModel* model = ModelOf(m_hWnd))
        model->Reserve(count);
}

BOOL CListCtrl::EnsureVisible(int item, BOOL) {
    QTableView* view = ViewOf(m_hWnd);
    if (!view || item < 0 || item >= view->model()->rowCount())
        return FALSE;
    // Rows just inserted are laid out first, or the scroll stops short of them.
    view->doItemsLayout();
    view->scrollTo(view->model()->index(item, std::max(view->currentIndex().column(), 0)));
    return TRUE;
}
