#pragma once
// The path registry on line edits: each registered QLineEdit gets an adapter that gives the registry
// its text, its background colour (silver while the path does not exist) and its tooltip (the resolved
// path); typing revalidates the edit and then runs the edit's own change handler, a double click opens
// a folder or file dialog at the deepest existing folder of the text.

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/path_input.h"

class QWidget;

namespace rowsmith::gui {

class PathEditBinding;

// One registered edit as the registry sees it.
class PathLineEdit final : public QObject, public files::PathEditControl {
    Q_OBJECT
  public:
    PathLineEdit(QLineEdit* edit, PathEditBinding* owner);

    std::string Text() const override;
    int32_t Colour() const override;
    void SetColour(int32_t colour) override;
    void SetHint(const std::string& hint) override;
    void SetTextQuietly(const std::string& text) override;

    QLineEdit* Edit() const { return edit_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QLineEdit> edit_;
    PathEditBinding* owner_;
};

class PathEditBinding {
  public:
    // Picks a path for a dialog of the kind (folder or file), starting in start_folder with the
    // registry's file filter; "" when cancelled. The standard dialogs unless replaced (tests do).
    using Chooser = std::function<std::string(uint8_t kind, const std::string& start_folder,
                                              const std::string& filter, QWidget* parent)>;
    // The change handler an edit has of its own (called after each revalidation), or none.
    using OwnHandler = std::function<std::function<void()>(QLineEdit*)>;

    PathEditBinding();
    PathEditBinding(const PathEditBinding&) = delete;
    PathEditBinding& operator=(const PathEditBinding&) = delete;
    ~PathEditBinding();

    files::PathInputT Registry;

    // Empties the registry (the adapters of earlier edits are released).
    void Init();
    // Registers one edit (again: updates its kind) and revalidates it; the entry number, -1 when full.
    int Register(QLineEdit* edit, uint8_t kind, std::function<void()> change_handler = {},
                 std::function<void()> double_click_handler = {});
    // Every line edit below the container whose name marks it as a folder ("editfolder...") or file
    // ("editfile...") input, in child order, depth first. Returns how many were registered.
    int RegisterPathEdits(QWidget* container, const OwnHandler& own_handler = {});

    bool IsRegistered(const QLineEdit* edit) const { return Control(edit) != nullptr; }
    files::PathEditControl* Control(const QLineEdit* edit) const;
    bool SetRelative(QLineEdit* base, QLineEdit* edit);
    std::string ResolvedPath(const QLineEdit* edit) const;
    bool ValidatePair(QLineEdit* source, QLineEdit* destination, uint8_t options,
                      std::string& destination_out, std::string& source_out);
    // Revalidates the edit (colour, hint, dependants, its own change handler).
    void Revalidate(QLineEdit* edit);
    std::string DialogStartFolder(const QLineEdit* edit) const;

    // What a double click on a registered edit does.
    void DoubleClicked(QLineEdit* edit);
    void SetChooser(Chooser chooser) { chooser_ = std::move(chooser); }

  private:
    friend class PathLineEdit;
    void TextChanged(PathLineEdit* control);

    std::vector<std::unique_ptr<PathLineEdit>> controls_;
    Chooser chooser_;
};

// The registry's file filter as a file dialog takes it: "*.*" also matches names without a dot.
std::string DialogFilter(const std::string& filter);

}  // namespace rowsmith::gui
