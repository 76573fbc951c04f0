#include "gui/windows/path_edit_binding.h"
#include "gui/widgets/qt_text.h"

#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>

#include "gui/widgets/qt_colours.h"

namespace rowsmith::gui {

namespace {

std::string StandardChooser(uint8_t kind, const std::string& start, const std::string& filter,
                            QWidget* parent) {
    QString chosen;
    if (kind == files::kPathKindFolder)
        chosen = QFileDialog::getExistingDirectory(parent, QStringLiteral("Select a folder"), Q(start));
    else
        chosen = QFileDialog::getOpenFileName(parent, QStringLiteral("Select a file"), Q(start), Q(filter));
    return S(chosen);
}

void CollectLineEdits(QWidget* container, std::vector<QLineEdit*>& out) {
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w == nullptr || w->isWindow()) continue;
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            out.push_back(edit);
            continue;  // the line edit inside a spin box or combo box is not a path edit
        }
        CollectLineEdits(w, out);
    }
}

}  // namespace

// ---- PathLineEdit

PathLineEdit::PathLineEdit(QLineEdit* edit, PathEditBinding* owner) : edit_(edit), owner_(owner) {
    // A locked edit keeps its text readable on the silver of a missing path.
    QPalette p = edit->palette();
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(96, 96, 96));
    edit->setPalette(p);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textChanged, this, [this] { owner_->TextChanged(this); });
}

std::string PathLineEdit::Text() const {
    return edit_ ? S(edit_->text()) : std::string();
}

int32_t PathLineEdit::Colour() const {
    return edit_ ? FromQColor(edit_->palette().color(QPalette::Base)) : 0xFFFFFF;
}

void PathLineEdit::SetColour(int32_t colour) {
    if (!edit_) return;
    QPalette p = edit_->palette();
    p.setColor(QPalette::Base, ToQColor(colour));
    edit_->setPalette(p);
}

void PathLineEdit::SetHint(const std::string& hint) {
    if (edit_) edit_->setToolTip(Q(hint));
}

void PathLineEdit::SetTextQuietly(const std::string& text) {
    if (!edit_) return;
    const QSignalBlocker quiet(edit_.data());
    edit_->setText(Q(text));
}

bool PathLineEdit::eventFilter(QObject* watched, QEvent* event) {
    // The type first: the edit also reports events here while it is being destroyed.
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && watched == edit_) {
        owner_->DoubleClicked(edit_);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---- PathEditBinding

PathEditBinding::PathEditBinding() : chooser_(StandardChooser) {
    files::InitPathInput(Registry);
}

PathEditBinding::~PathEditBinding() = default;

void PathEditBinding::Init() {
    files::InitPathInput(Registry);
    controls_.clear();
}

files::PathEditControl* PathEditBinding::Control(const QLineEdit* edit) const {
    if (edit == nullptr) return nullptr;
    for (const auto& c : controls_)
        if (c->Edit() == edit) return c.get();
    return nullptr;
}

int PathEditBinding::Register(QLineEdit* edit, uint8_t kind, std::function<void()> change_handler,
                              std::function<void()> double_click_handler) {
    if (edit == nullptr) return -1;
    files::PathEditControl* control = Control(edit);
    if (control == nullptr) {
        if (Registry.Count >= files::kMaxPathEntries) return -1;
        controls_.push_back(std::make_unique<PathLineEdit>(edit, this));
        control = controls_.back().get();
    }
    return files::RegisterPathEdit(Registry, control, kind, std::move(change_handler),
                                   std::move(double_click_handler));
}

int PathEditBinding::RegisterPathEdits(QWidget* container, const OwnHandler& own_handler) {
    if (container == nullptr) return 0;
    std::vector<QLineEdit*> edits;
    CollectLineEdits(container, edits);
    int registered = 0;
    for (QLineEdit* edit : edits) {
        const uint8_t kind = files::PathKindFromEditName(S(edit->objectName()));
        if (kind == 0) continue;
        if (Register(edit, kind, own_handler ? own_handler(edit) : std::function<void()>{}) > 0) ++registered;
    }
    return registered;
}

bool PathEditBinding::SetRelative(QLineEdit* base, QLineEdit* edit) {
    return files::SetRelative(Registry, Control(base), Control(edit));
}

std::string PathEditBinding::ResolvedPath(const QLineEdit* edit) const {
    const files::PathEditControl* control = Control(edit);
    return control ? files::ResolvedPath(Registry, control) : std::string();
}

bool PathEditBinding::ValidatePair(QLineEdit* source, QLineEdit* destination, uint8_t options,
                                   std::string& destination_out, std::string& source_out) {
    return files::ValidatePair(Registry, Control(source), Control(destination), options, destination_out,
                               source_out);
}

void PathEditBinding::Revalidate(QLineEdit* edit) {
    if (files::PathEditControl* control = Control(edit))
        files::Revalidate(Registry, files::FindPathEntry(Registry, control));
}

std::string PathEditBinding::DialogStartFolder(const QLineEdit* edit) const {
    return files::DialogStartFolder(Registry, Control(edit));
}

void PathEditBinding::TextChanged(PathLineEdit* control) {
    files::PathTextChanged(Registry, control);
}

void PathEditBinding::DoubleClicked(QLineEdit* edit) {
    files::PathEditControl* control = Control(edit);
    if (control == nullptr) return;
    const int entry = files::FindPathEntry(Registry, control);
    const uint8_t kind = Registry.Entries[static_cast<std::size_t>(entry)].Kind;
    const std::string chosen =
        chooser_ ? chooser_(kind, DialogStartFolder(edit), DialogFilter(Registry.FileFilter), edit->window())
                 : std::string();
    files::PathChosenInDialog(Registry, control, chosen);
}

std::string DialogFilter(const std::string& filter) {
    // "*.*" as a whole pattern: the pattern that matches every file name here is "*".
    auto bound = [](char c) { return c == '(' || c == ')' || c == ' ' || c == ';'; };
    std::string out;
    out.reserve(filter.size());
    for (std::size_t i = 0; i < filter.size(); ++i) {
        const bool whole = filter.compare(i, 3, "*.*") == 0 && (i == 0 || bound(filter[i - 1])) &&
                           (i + 3 == filter.size() || bound(filter[i + 3]));
        if (whole) {
            out += '*';
            i += 2;
        } else {
            out += filter[i];
        }
    }
    return out;
}

}  // namespace rowsmith::gui
