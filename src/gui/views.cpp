#include "gui/views.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyleOptionGroupBox>
#include <QStylePainter>
#include <QTabBar>
#include <QAbstractTableModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "gui/pictures.h"
#include "gui/qt_text.h"

namespace vc::gui {

namespace {

template <class Widget, class Ctl>
class ViewOf : public Widget, public View {
public:
    ViewOf(Ctl& c, QWidget* parent, Operate operate) : Widget(parent), c_(c), operate_(std::move(operate)) {}
    Control& control() override { return c_; }
    QWidget* widget() override { return this; }

protected:
    Ctl& c_;
    Operate operate_;
};

// The model's colour while the widget is enabled; disabled, it greys out as the style draws it.
void colourWhileEnabled(QPalette& p, QPalette::ColorRole role, std::int32_t bgr) {
    for (auto group : {QPalette::Active, QPalette::Inactive}) p.setColor(group, role, qcolour(bgr));
}

QFont fontOf(int pointSize, bool bold) {
    QFont f = QApplication::font();
    if (pointSize > 0) f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

// Every change of a control syncs its view: an icon is set again only when it is another one.
void showIcon(QAbstractButton& b, const QIcon& icon) {
    if (b.icon().cacheKey() != icon.cacheKey()) b.setIcon(icon);
}

class LabelView final : public ViewOf<QLabel, Label> {
public:
    LabelView(Label& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
    }
    void sync() override {
        setText(qs(c_.Caption()));
        QPalette p = palette();
        colourWhileEnabled(p, QPalette::WindowText, c_.ForeColor());
        p.setColor(QPalette::Window, qcolour(c_.BackColor()));
        setPalette(p);
        setAutoFillBackground(c_.opaque);
        setFont(fontOf(c_.fontSize, c_.bold));
        const Qt::Alignment across[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
        // A label one line high sits level with the field beside it; a taller one reads from the
        // top, unless its caption is centred.
        const bool oneLine = c_.geometry.height < 2 * fontMetrics().lineSpacing();
        setAlignment(across[std::clamp(c_.alignment, 0, 2)] |
                     (oneLine || c_.alignment == 2 ? Qt::AlignVCenter : Qt::AlignTop));
    }
};

class ButtonView final : public ViewOf<QToolButton, CommandButton> {
public:
    ButtonView(CommandButton& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setFocusPolicy(Qt::StrongFocus);
        connect(this, &QToolButton::clicked, this, [this] { operate_([&c = c_] { c.click(); }); });
    }
    void sync() override {
        setText(qs(c_.Caption()));
        // The picture takes what the caption leaves above it; on a button too low for that, it
        // goes beside the caption.
        const Geometry& g = c_.geometry;
        const int above = g.height - (c_.Caption().empty() ? 12 : fontMetrics().height() + 18);
        const bool beside = above < 24 && !c_.Picture().empty();
        setToolButtonStyle(beside ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonTextUnderIcon);
        const int side = beside ? std::max(16, g.height - 12) : std::max(16, std::min(g.width - 16, above));
        setIconSize(QSize(side, side));
        showIcon(*this, gui::icon(c_.Picture(), iconSize()));
    }
};

// Qt counts a text in UTF-16 units, the model in characters.
int charactersIn(const QString& t, int units) {
    int n = 0;
    for (int i = 0; i < units && i < t.size(); ++i)
        if (!t.at(i).isLowSurrogate()) ++n;
    return n;
}

int unitsOf(const QString& t, int characters) {
    int i = 0;
    for (; characters > 0 && i < t.size(); --characters) i += t.at(i).isHighSurrogate() && i + 1 < t.size() ? 2 : 1;
    return i;
}

class TextView final : public ViewOf<QLineEdit, TextBox> {
public:
    // Typing is routed by the window, through the form's key preview, into the model's box; the
    // mouse selects as Qt does, and the box is told at once.
    TextView(TextBox& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setContextMenuPolicy(Qt::NoContextMenu);
        setAcceptDrops(false);
        // Composed text would bypass the key path; with no input method, keys carry their text.
        setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    void focusInEvent(QFocusEvent* e) override {
        const auto before = selection();
        QLineEdit::focusInEvent(e);  // entered with Tab, it selects all
        // Focus given by code selects all too, as Tab does; the mouse's click places the caret.
        if (e->reason() == Qt::OtherFocusReason && !hasSelectedText()) selectAll();
        tellIfChanged(before);
    }
    void focusOutEvent(QFocusEvent* e) override {
        const auto before = selection();
        QLineEdit::focusOutEvent(e);  // it may drop the selection
        tellIfChanged(before);
        // Only the operator moving elsewhere counts, not a window losing activation.
        if (e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason ||
            e->reason() == Qt::MouseFocusReason)
            operate_([&c = c_] { c.leave(); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        mouse(e, [&] { QLineEdit::mousePressEvent(e); });
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        mouse(e, [&] { QLineEdit::mouseMoveEvent(e); });
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        mouse(e, [&] { QLineEdit::mouseReleaseEvent(e); });
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        mouse(e, [&] { QLineEdit::mouseDoubleClickEvent(e); });
    }
    void sync() override {
        // No Qt maxLength: it would cut text set by code, which MaxLength does not limit.
        const QString t = qs(c_.Text());
        if (text() != t) setText(t);
        const int caret = unitsOf(t, c_.caret());
        const int anchor = unitsOf(t, c_.caret() == c_.SelStart() ? c_.SelStart() + c_.SelLength() : c_.SelStart());
        if (selection() != std::pair{anchor, caret}) {
            if (anchor == caret)
                setCursorPosition(caret);
            else
                setSelection(anchor, caret - anchor);
        }
        setReadOnly(c_.Locked());
        QPalette p = palette();
        colourWhileEnabled(p, QPalette::Base, c_.BackColor());
        colourWhileEnabled(p, QPalette::Text, c_.ForeColor());
        setPalette(p);
        const QString mask = qs(c_.PasswordChar);
        setEchoMode(mask.isEmpty() ? QLineEdit::Normal : QLineEdit::Password);
        const QString sheet =
            mask.isEmpty() ? QString() : QString("QLineEdit { lineedit-password-character: %1; }").arg(mask.at(0).unicode());
        if (styleSheet() != sheet) setStyleSheet(sheet);  // a new sheet re-polishes: not at every key
    }

private:
    // The middle button would paste into the widget behind the box's back.
    template <class Handler>
    void mouse(const QMouseEvent* e, Handler qt) {
        if (e->button() == Qt::MiddleButton) return;
        const auto before = selection();
        qt();
        tellIfChanged(before);
    }
    // Anchor and caret, in UTF-16 units.
    std::pair<int, int> selection() const {
        const int caret = cursorPosition();
        return {!hasSelectedText() ? caret : caret == selectionStart() ? selectionEnd() : selectionStart(), caret};
    }
    // Hands the box the selection Qt has just made. Keys already on their way to the box may
    // change its text first: a selection made on another text is dropped.
    void tellIfChanged(std::pair<int, int> before) {
        const auto [anchor, caret] = selection();
        if (std::pair{anchor, caret} == before) return;
        const QString t = text();
        operate_([&c = c_, a = charactersIn(t, anchor), k = charactersIn(t, caret), was = utf8(t)] {
            if (c.Text() == was) c.select(a, k);
        });
    }
};

// Check and option buttons never change themselves: a click asks the model, which decides.
class CheckView final : public ViewOf<QCheckBox, CheckBox> {
public:
    CheckView(CheckBox& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        connect(this, &QCheckBox::clicked, this, [this] { operate_([&c = c_] { c.click(); }); });
    }
    void sync() override {
        setText(qs(c_.Caption()));
        setCheckState(c_.Value() == 0 ? Qt::Unchecked : c_.Value() == 1 ? Qt::Checked : Qt::PartiallyChecked);
        showIcon(*this, gui::icon(c_.picture, QSize(20, 20)));
    }

protected:
    void nextCheckState() override {}
};

class OptionView final : public ViewOf<QRadioButton, OptionButton> {
public:
    OptionView(OptionButton& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setAutoExclusive(false);  // the model clears the other buttons of the container
        connect(this, &QRadioButton::clicked, this, [this] { operate_([&c = c_] { c.click(); }); });
    }
    void sync() override {
        setText(qs(c_.Caption()));
        setChecked(c_.Value());
    }

protected:
    void nextCheckState() override {}
};

class FrameView final : public ViewOf<QGroupBox, Frame> {
public:
    using ViewOf::ViewOf;
    void sync() override {
        setTitle(qs(c_.Caption()));
        update();
    }

protected:
    // ForeColor colours the caption only: through the palette it would reach the frame's controls.
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionGroupBox option;
        initStyleOption(&option);
        if (c_.ForeColor() != colour::Black) option.textColor = qcolour(c_.ForeColor());
        p.drawComplexControl(QStyle::CC_GroupBox, option);
    }
};

class ShapeView final : public ViewOf<QWidget, Shape> {
public:
    using ViewOf::ViewOf;
    void sync() override { update(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing, c_.round);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(qcolour(c_.FillColor()));
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (c_.round)
            p.drawEllipse(r);
        else
            p.drawRect(r);
    }
};

class ImageView final : public ViewOf<QLabel, Image> {
public:
    ImageView(Image& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setAlignment(Qt::AlignCenter);
    }
    void sync() override { setPixmap(gui::picture(c_.Picture, QSize(c_.geometry.width, c_.geometry.height))); }
};

class ComboView final : public ViewOf<QComboBox, ComboBox> {
public:
    ComboView(ComboBox& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        connect(this, &QComboBox::activated, this, [this](int i) { operate_([&c = c_, i] { c.choose(i); }); });
        if (!c.editable) return;
        // The list is the model's: Enter must not add the typed text to it.
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
        connect(lineEdit(), &QLineEdit::textEdited, this,
                [this](const QString& t) { operate_([&c = c_, t = utf8(t)] { c.retype(t); }); });
    }
    void sync() override {
        const QSignalBlocker quiet(this);
        QStringList items;
        for (int i = 0; i < c_.ListCount(); ++i) items << qs(c_.List(i));
        if (items != itemsShown()) {
            clear();
            addItems(items);
        }
        if (currentIndex() != c_.ListIndex()) setCurrentIndex(c_.ListIndex());
        if (!c_.editable) {
            setPlaceholderText(c_.ListIndex() < 0 ? qs(c_.Text()) : QString());
        } else if (currentText() != qs(c_.Text())) {
            setEditText(qs(c_.Text()));  // only on a change: the cursor stays where the operator types
        }
    }

private:
    QStringList itemsShown() const {
        QStringList out;
        for (int i = 0; i < count(); ++i) out << itemText(i);
        return out;
    }
};

class ProgressView final : public ViewOf<QProgressBar, ProgressBar> {
public:
    ProgressView(ProgressBar& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setTextVisible(false);
    }
    void sync() override {
        setRange(c_.Min, c_.Max);
        setValue(c_.Value());
    }
};

// The tabs across the top of a panel; the controls of every page are children of this widget,
// placed by their own geometry, and shown by the window on their page only.
class TabView final : public ViewOf<QWidget, TabControl> {
public:
    TabView(TabControl& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        panel_->setFrameShape(QFrame::StyledPanel);
        connect(bar_, &QTabBar::currentChanged, this, [this](int t) { operate_([&c = c_, t] { c.choose(t); }); });
    }
    void sync() override {
        const QSignalBlocker quiet(bar_);
        while (bar_->count() > static_cast<int>(c_.TabCaptions.size())) bar_->removeTab(bar_->count() - 1);
        for (std::size_t t = 0; t < c_.TabCaptions.size(); ++t) {
            const int i = static_cast<int>(t);
            if (i >= bar_->count()) bar_->addTab(QString());
            bar_->setTabText(i, qs(c_.TabCaptions[t]));
        }
        bar_->setCurrentIndex(c_.Tab());
        layOut();
    }

protected:
    void resizeEvent(QResizeEvent*) override { layOut(); }

private:
    void layOut() {
        const int h = bar_->sizeHint().height();
        bar_->setGeometry(0, 0, width(), h);
        panel_->setGeometry(0, h - 1, width(), height() - h + 1);
    }
    QFrame* panel_ = new QFrame(this);
    QTabBar* bar_ = new QTabBar(this);
};

// The records of a grid's data control as Qt reads them: only the rows on view are read, one
// record at a time, without moving the current record.
class RecordsModel final : public QAbstractTableModel {
public:
    explicit RecordsModel(DataGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {}

    // Reads the columns and the number of records again; a database gone away shows nothing (the
    // window tells what failed).
    void reload() {
        beginResetModel();
        names_.clear();
        fields_.clear();
        rows_ = 0;
        read_ = -1;
        try {
            if (grid_.source().bound()) {
                Recordset& rs = *grid_.source().recordset();
                const std::vector<std::string> all = rs.fieldNames();
                names_ = grid_.columns.empty() ? all : grid_.columns;
                for (const auto& n : names_) {
                    const auto it = std::find_if(all.begin(), all.end(), [&](const std::string& f) {
                        return QString::fromStdString(f).compare(QString::fromStdString(n), Qt::CaseInsensitive) == 0;
                    });
                    fields_.push_back(it == all.end() ? -1 : static_cast<int>(it - all.begin()));
                }
                rows_ = rs.RecordCount();
            }
        } catch (const DbError&) {
            rows_ = 0;
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : static_cast<int>(rows_); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(names_.size());
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (o == Qt::Vertical) return section + 1;
        return section < static_cast<int>(names_.size()) ? QVariant(qs(names_[section])) : QVariant();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || !grid_.source().bound()) return {};
        const int field = fields_[static_cast<std::size_t>(index.column())];
        try {
            if (read_ != index.row()) {
                values_ = grid_.source().recordset()->valuesAt(index.row());
                read_ = index.row();
            }
        } catch (const DbError&) {
            return {};  // a record deleted since the grid was filled shows empty
        }
        return field >= 0 && field < static_cast<int>(values_.size()) ? QVariant(qs(values_[field].str())) : QVariant();
    }

private:
    DataGrid& grid_;
    std::vector<std::string> names_;
    std::vector<int> fields_;  // each column's place among the recordset's fields
    long rows_ = 0;
    mutable int read_ = -1;    // the row held in values_
    mutable std::vector<Value> values_;
};

class GridView final : public ViewOf<QTableView, DataGrid> {
public:
    GridView(DataGrid& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setModel(model_);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setSelectionMode(QAbstractItemView::SingleSelection);
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        // Column widths from a sample of rows, not from every one of them; the operator widens
        // a column by dragging its header's edge.
        horizontalHeader()->setResizeContentsPrecision(200);
        horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    }
    // Read once Qt's events run, not at each Refresh: a handler that refreshes its data control
    // twice in a row (the history empties its grid first) has the grid read only the last one.
    void sync() override {
        if (pending_) return;
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            reload();
        });
    }

private:
    void reload() {
        model_->reload();
        // Each column fits its heading and its first rows, and is never narrower than the form
        // asks.
        resizeColumnsToContents();
        for (std::size_t k = 0; k < c_.columnWidths.size() && k < static_cast<std::size_t>(model_->columnCount()); ++k) {
            const int column = static_cast<int>(k);
            setColumnWidth(column, std::max(columnWidth(column), c_.columnWidths[k]));
        }
        long current = -1;
        try {
            if (c_.source().bound()) current = c_.source().recordset()->AbsolutePosition();
        } catch (const DbError&) {
        }
        if (current >= 0) {
            selectRow(static_cast<int>(current));
        } else {
            clearSelection();
        }
    }

    RecordsModel* model_ = new RecordsModel(c_, this);
    bool pending_ = false;
};

// A data control the window shows: its arrows move the current record, as the operator's would.
class DataView final : public ViewOf<QFrame, Data> {
public:
    DataView(Data& c, QWidget* parent, Operate op) : ViewOf(c, parent, std::move(op)) {
        setFrameShape(QFrame::StyledPanel);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(1, 1, 1, 1);
        row->setSpacing(0);
        using Step = void (*)(Recordset&);
        auto arrow = [this, row](const char* text, Step step) {
            auto* b = new QToolButton(this);
            b->setText(QString::fromUtf8(text));
            connect(b, &QToolButton::clicked, this, [this, step] {
                operate_([&c = c_, step] {
                    if (c.bound()) step(*c.recordset());
                });
            });
            row->addWidget(b);
        };
        arrow("|\u25C0", [](Recordset& rs) { rs.MoveFirst(); });
        arrow("\u25C0", [](Recordset& rs) {
            rs.MovePrevious();
            if (rs.BOF()) rs.MoveFirst();
        });
        row->addWidget(caption_, 1);
        arrow("\u25B6", [](Recordset& rs) {
            rs.MoveNext();
            if (rs.EOF_()) rs.MoveLast();
        });
        arrow("\u25B6|", [](Recordset& rs) { rs.MoveLast(); });
        caption_->setAlignment(Qt::AlignCenter);
    }
    void sync() override {
        // A table name reads well; an SQL source does not, so the control's name stands in.
        const std::string& source = c_.RecordSource;
        QString text = qs(source.empty() || source.find(' ') != std::string::npos ? c_.name() : source);
        try {
            if (c_.bound() && c_.recordset()->AbsolutePosition() >= 0)
                text +=
                    QString("  %1 di %2").arg(c_.recordset()->AbsolutePosition() + 1).arg(c_.recordset()->RecordCount());
        } catch (const DbError&) {
            // A database gone away leaves the bar with its name only.
        }
        caption_->setText(text);
    }

private:
    QLabel* caption_ = new QLabel(this);
};

template <class V, class C>
View* viewIf(Control& c, QWidget* parent, Operate& op) {
    auto* typed = dynamic_cast<C*>(&c);
    return typed ? new V(*typed, parent, std::move(op)) : nullptr;
}

}  // namespace

View* makeView(Control& c, QWidget* parent, Operate operate) {
    using Make = View* (*)(Control&, QWidget*, Operate&);
    static const Make makers[] = {
        viewIf<LabelView, Label>,         viewIf<ButtonView, CommandButton>,
        viewIf<TextView, TextBox>,        viewIf<CheckView, CheckBox>,
        viewIf<OptionView, OptionButton>, viewIf<FrameView, Frame>,
        viewIf<ShapeView, Shape>,         viewIf<ImageView, Image>,
        viewIf<ComboView, ComboBox>,      viewIf<ProgressView, ProgressBar>,
        viewIf<TabView, TabControl>,      viewIf<GridView, DataGrid>,
        viewIf<DataView, Data>,
    };
    for (Make make : makers)
        if (View* v = make(c, parent, operate)) return v;
    return nullptr;
}

View* viewOf(QObject* widget) { return dynamic_cast<View*>(widget); }

}  // namespace vc::gui
