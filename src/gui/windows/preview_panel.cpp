#include "gui/windows/preview_panel.h"
#include "gui/widgets/qt_text.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QTableWidget>
#include <QTimer>

namespace rowsmith::gui {

namespace {

constexpr int kMargin = 4;


// Lines are UTF-8 text, except those of a file read as bytes (and odd bytes of an explicit UTF-8
// file): those bytes show as escapes instead of replacement marks.
QString Visible(std::string_view text) {
    return Q(DisplayText(text));
}

// The trailing line end of a text that a run writes ("\r\n" or "\n"), empty without one.
std::string_view TrailingEnd(std::string_view text) {
    if (text.ends_with("\r\n")) return "\r\n";
    if (text.ends_with('\n')) return "\n";
    return {};
}

TPreviewPanel::CellText Cell(std::string_view body, std::string_view end) {
    return {Visible(body), Q(tmpl::VisibleText(end))};
}

// Draws an Input or Output cell: the text cut on the right where needed, so that the line end after
// it, in a dimmer colour, always shows.
class LineCellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QString text = o.text;
        const int end_length = std::clamp(index.data(TPreviewPanel::kEndLengthRole).toInt(), 0,
                                          static_cast<int>(text.size()));
        o.text.clear();
        QStyle* style = o.widget ? o.widget->style() : nullptr;
        if (style != nullptr) style->drawControl(QStyle::CE_ItemViewItem, &o, painter, o.widget);
        const QString body = text.left(text.size() - end_length);
        const QString end = text.right(end_length);
        const QRect area = o.rect.adjusted(3, 0, -3, 0);
        const QFontMetrics& fm = o.fontMetrics;
        const int end_width = fm.horizontalAdvance(end);
        const QString shown = fm.elidedText(body, Qt::ElideRight, std::max(0, area.width() - end_width));
        painter->save();
        painter->setFont(o.font);
        painter->setPen(o.palette.color(QPalette::Text));
        painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft, shown);
        QColor dim = o.palette.color(QPalette::Text);
        dim.setAlpha(110);
        painter->setPen(dim);
        const QRect end_area(area.left() + fm.horizontalAdvance(shown), area.top(), end_width, area.height());
        painter->drawText(end_area, Qt::AlignVCenter | Qt::AlignLeft, end);
        painter->restore();
    }
};

}  // namespace

TPreviewPanel::CellText TPreviewPanel::InputCell(const PreviewRowT& row) {
    return Cell(row.input, files::LineEndText(row.end));
}

TPreviewPanel::CellText TPreviewPanel::OutputCell(const PreviewRowT& row) {
    const std::string_view out = row.output;
    const std::string_view end = TrailingEnd(out);
    return Cell(out.substr(0, out.size() - end.size()), end);
}

QStringList TPreviewPanel::FitMessage(const QString& text, const QFont& font, int width, int max_lines) {
    QStringList lines;
    if (text.isEmpty() || max_lines <= 0) return lines;
    width = std::max(width, 1);
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        if (static_cast<int>(lines.size()) == max_lines - 1) {
            // The last line gets the rest of the text, with "…" where it is cut.
            lines << metrics.elidedText(text.mid(line.textStart()).trimmed(), Qt::ElideRight, width);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

TPreviewPanel::TPreviewPanel(QWidget* parent) : QWidget(parent), channel_(std::make_shared<Channel>()) {
    setObjectName(QStringLiteral("Preview"));
    channel_->panel = this;
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kDebounceMs);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { StartBackground(); });

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("PreviewMessage"));
    message_->setTextFormat(Qt::PlainText);
    // The label takes the mouse so that its tooltip, the full message, shows.
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    table_ = new QTableWidget(0, 3, this);
    table_->setObjectName(QStringLiteral("PreviewTable"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Line"), QStringLiteral("Input"), QStringLiteral("Output")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    // Monospaced texts keep escapes and spaces readable.
    QFont mono = table_->font();
    mono.setFamily(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    table_->setFont(mono);
    table_->setToolTipDuration(1000000);
    auto* cells = new LineCellDelegate(table_);
    table_->setItemDelegateForColumn(1, cells);
    table_->setItemDelegateForColumn(2, cells);

    if (parent != nullptr) FollowParent();
}

TPreviewPanel::~TPreviewPanel() {
    {
        const std::lock_guard<std::mutex> lock(channel_->mutex);
        channel_->panel = nullptr;
    }
    for (Worker& w : workers_) w.cancel->store(true);
    JoinEnded(true);
}

void TPreviewPanel::Schedule() {
    timer_->start();
}

bool TPreviewPanel::Pending() const {
    return timer_->isActive() || building_;
}

void TPreviewPanel::StopBackground() {
    ++generation_;
    building_ = false;
    for (Worker& w : workers_) w.cancel->store(true);
    JoinEnded(false);
}

void TPreviewPanel::JoinEnded(bool all) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || it->done->load()) {
            if (it->thread.joinable()) it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void TPreviewPanel::StartBackground() {
    if (!source_) {
        RefreshNow();
        return;
    }
    StopBackground();
    PreviewRequestT request = source_();
    const uint64_t generation = generation_;
    building_ = true;
    Worker w{{}, std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false)};
    request.cancel = w.cancel.get();
    w.thread = std::thread([channel = channel_, cancel = w.cancel, done = w.done, request = std::move(request),
                            generation] {
        PreviewT preview = BuildPreview(request);
        {
            const std::lock_guard<std::mutex> lock(channel->mutex);
            if (channel->panel != nullptr && !cancel->load()) {
                TPreviewPanel* panel = channel->panel;
                QMetaObject::invokeMethod(
                    panel, [panel, generation, preview = std::move(preview)]() mutable {
                        panel->Finished(generation, std::move(preview));
                    },
                    Qt::QueuedConnection);
            }
        }
        done->store(true);
    });
    workers_.push_back(std::move(w));
    // A quick refresh shows its result in place of the old one; a slow one says what it is doing.
    QTimer::singleShot(kBusyNoticeMs, this, [this, generation] {
        if (generation != generation_ || !building_) return;
        message_text_ = QStringLiteral("Reading the file for the preview…");
        message_->setToolTip(message_text_);
        table_->setRowCount(0);
        LayOut();
    });
}

void TPreviewPanel::Finished(uint64_t generation, PreviewT preview) {
    if (generation != generation_ || !building_) return;
    building_ = false;
    JoinEnded(false);
    Show(preview);
    shown_ = std::move(preview);
    emit Refreshed();
}

void TPreviewPanel::RefreshNow() {
    timer_->stop();
    StopBackground();
    PreviewT preview;
    if (source_)
        preview = BuildPreview(source_());
    else
        preview.message = "Nothing to preview";
    Show(preview);
    shown_ = std::move(preview);
    emit Refreshed();
}

QString TPreviewPanel::RowTip(const PreviewRowT& row) {
    // Under auto the line's own end decides the output's.
    const QString end = row.end == files::LineEnd::None ? QStringLiteral("no line end")
                                                        : QStringLiteral("ends with ") + Visible(files::LineEndText(row.end));
    QString tip = QStringLiteral("Line %1, %2\nInput:  %3\nOutput: %4")
                      .arg(row.line)
                      .arg(end, Visible(row.input), Visible(row.output));
    if (!row.trace.Steps.empty())
        tip += QStringLiteral("\n\nTrace:\n") + Q(EscapeNonUtf8(tmpl::FormatTrace(row.trace)));
    // As rich text the tooltip keeps its lines and columns whatever the texts hold.
    return QStringLiteral("<pre>") + tip.toHtmlEscaped() + QStringLiteral("</pre>");
}

void TPreviewPanel::Show(const PreviewT& preview) {
    message_text_ = Q(preview.message);
    message_->setToolTip(message_text_);
    table_->setRowCount(static_cast<int>(preview.rows.size()));
    for (int i = 0; i < static_cast<int>(preview.rows.size()); ++i) {
        const PreviewRowT& row = preview.rows[static_cast<std::size_t>(i)];
        const QString tip = RowTip(row);
        auto* number = new QTableWidgetItem(QString::number(row.line));
        number->setToolTip(tip);
        number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(i, 0, number);
        const CellText texts[] = {InputCell(row), OutputCell(row)};
        for (int c = 1; c < 3; ++c) {
            const CellText& t = texts[c - 1];
            auto* item = new QTableWidgetItem(t.body + t.end);
            item->setData(kEndLengthRole, static_cast<int>(t.end.size()));
            item->setToolTip(tip);
            table_->setItem(i, c, item);
        }
    }
    LayOut();
}

bool TPreviewPanel::event(QEvent* event) {
    // The window layout moves a managed panel's children onto its background: follow the new parent.
    if (event->type() == QEvent::ParentChange) FollowParent();
    const bool done = QWidget::event(event);
    if (event->type() == QEvent::Resize) LayOut();
    return done;
}

bool TPreviewPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watched_parent_ && event->type() == QEvent::Resize) FollowParent();
    return QWidget::eventFilter(watched, event);
}

void TPreviewPanel::FollowParent() {
    QWidget* parent = parentWidget();
    if (parent != watched_parent_) {
        if (watched_parent_ != nullptr) watched_parent_->removeEventFilter(this);
        watched_parent_ = parent;
        if (parent != nullptr) parent->installEventFilter(this);
    }
    if (parent == nullptr) return;
    setGeometry(parent->contentsRect().adjusted(kMargin, kMargin, -kMargin, -kMargin));
    LayOut();
}

void TPreviewPanel::LayOut() {
    // The message wraps at spaces over up to two lines and is cut with "…" beyond them.
    const int w = width();
    const QStringList lines = FitMessage(message_text_, message_->font(), w, kMessageLines);
    message_->setText(lines.join(QLatin1Char('\n')));
    const int shown_lines = std::max(1, static_cast<int>(lines.size()));
    const int message_height = shown_lines * message_->fontMetrics().lineSpacing() + 2;
    message_->setGeometry(0, 0, w, message_height);
    table_->setGeometry(0, message_height + 2, w, std::max(height() - message_height - 2, 0));
}

}  // namespace rowsmith::gui
