#include "gui/preview_panel.h"

#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>

namespace rowsmith::gui {

namespace {

constexpr int kMargin = 4;
constexpr int kMessageHeight = 18;

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Lines are UTF-8 text, except those of a file read as bytes (and odd bytes of an explicit UTF-8
// file): those bytes show as escapes instead of replacement marks.
QString Visible(std::string_view text) {
    return Q(DisplayText(text));
}

}  // namespace

TPreviewPanel::TPreviewPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Preview"));
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(kDebounceMs);
    QObject::connect(timer_, &QTimer::timeout, this, [this] { RefreshNow(); });

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("PreviewMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->setAttribute(Qt::WA_TransparentForMouseEvents);

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

    if (parent != nullptr) FollowParent();
}

void TPreviewPanel::Schedule() {
    timer_->start();
}

bool TPreviewPanel::Pending() const {
    return timer_->isActive();
}

void TPreviewPanel::RefreshNow() {
    timer_->stop();
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
    // The input column leaves the line's own end out; under auto it decides the output's.
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
    message_->setText(Q(preview.message));
    message_->setToolTip(Q(preview.message));
    table_->setRowCount(static_cast<int>(preview.rows.size()));
    for (int i = 0; i < static_cast<int>(preview.rows.size()); ++i) {
        const PreviewRowT& row = preview.rows[static_cast<std::size_t>(i)];
        const QString tip = RowTip(row);
        const QString cells[] = {QString::number(row.line), Visible(row.input), Visible(row.output)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(tip);
            if (c == 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(i, c, item);
        }
    }
}

bool TPreviewPanel::event(QEvent* event) {
    // The window layout moves a managed panel's children onto its background: follow the new parent.
    if (event->type() == QEvent::ParentChange) FollowParent();
    return QWidget::event(event);
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
    const QRect area = parent->contentsRect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    setGeometry(area);
    message_->setGeometry(0, 0, area.width(), kMessageHeight);
    table_->setGeometry(0, kMessageHeight + 2, area.width(), std::max(area.height() - kMessageHeight - 2, 0));
}

}  // namespace rowsmith::gui
