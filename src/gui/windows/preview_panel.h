#pragma once
// TPreviewPanel: the live preview of the main window. A short while after the last change it asks
// for what to preview, runs the toolkit-free preview and shows input and output lines side by side
// (line breaks made visible), a message of up to two lines (the whole of it as its tooltip), and
// each line's tag trace as its tooltip.

#include <QFont>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "gui/logic/preview_logic.h"

class QLabel;
class QTableWidget;
class QTimer;

namespace rowsmith::gui {

class TPreviewPanel : public QWidget {
    Q_OBJECT
  public:
    // Time between the last change and the preview it causes.
    static constexpr int kDebounceMs = 150;

    explicit TPreviewPanel(QWidget* parent = nullptr);

    // What to preview now; asked on every refresh.
    using RequestSource = std::function<PreviewRequestT()>;
    void SetRequestSource(RequestSource source) { source_ = std::move(source); }

    // A change: refreshes once the changes have paused for kDebounceMs. That refresh is built on a
    // thread of its own (counting the lines of a large file takes a while) and shown when done; a
    // newer change stops it and drops what it built.
    void Schedule();
    // Refreshes at once, on this thread (and drops a scheduled or running refresh).
    void RefreshNow();
    // A refresh is scheduled or being built.
    bool Pending() const;
    // How long a background refresh runs before the panel says that it is reading.
    static constexpr int kBusyNoticeMs = 300;

    // The parts and the last preview, for the program's own inspection and tests.
    QTableWidget* Table() const { return table_; }
    QLabel* MessageLabel() const { return message_; }
    const PreviewT& Shown() const { return shown_; }
    // The tooltip text of a preview row: the line's texts and its trace.
    static QString RowTip(const PreviewRowT& row);

    // A cell's text: the line shown (a long one cut) and its line end made visible ("\r\n", "\n";
    // empty without one), which is always shown, dimmed, however narrow the cell.
    struct CellText {
        QString body;
        QString end;
    };
    static CellText InputCell(const PreviewRowT& row);
    static CellText OutputCell(const PreviewRowT& row);
    // Item data of the Input and Output cells: how many characters at the end of the shown text are
    // the line end.
    static constexpr int kEndLengthRole = Qt::UserRole + 1;

    // The message fitted to `width`: broken at spaces into at most `max_lines` lines, the last one
    // ending in "…" when the text goes on (the full text is the label's tooltip).
    static QStringList FitMessage(const QString& text, const QFont& font, int width, int max_lines);
    static constexpr int kMessageLines = 2;

  signals:
    // After every refresh, with the table and message filled.
    void Refreshed();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // One background refresh: its stop flag and whether its thread has ended.
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancel;
        std::shared_ptr<std::atomic<bool>> done;
    };
    // What a worker thread reaches the panel through; the panel clears it when it goes.
    struct Channel {
        std::mutex mutex;
        TPreviewPanel* panel = nullptr;
    };

    void StartBackground();
    void StopBackground();
    void Finished(uint64_t generation, PreviewT preview);
    void JoinEnded(bool all);
    void FollowParent();
    void Show(const PreviewT& preview);
    void LayOut();

    RequestSource source_;
    QTimer* timer_ = nullptr;
    QLabel* message_ = nullptr;
    QTableWidget* table_ = nullptr;
    QWidget* watched_parent_ = nullptr;
    PreviewT shown_;
    QString message_text_;
    std::shared_ptr<Channel> channel_;
    std::vector<Worker> workers_;
    uint64_t generation_ = 0;  // of the refresh whose result is wanted
    bool building_ = false;    // a background refresh of generation_ is running

  public:
    ~TPreviewPanel() override;
};

}  // namespace rowsmith::gui
