// The common open and save dialogs behind GetOpenFileNameA/GetSaveFileNameA: a Qt file dialog (Qt's own
// widgets, never the desktop's native dialog) with window handles for the dialog and for the child window
// a hook procedure works on, the extra controls of a child template (a dialog resource, DialogResources.h)
// placed below the dialog's own or, when the template has a control of id IDC_FILEDIALOG_STANDARD that
// marks where the dialog's own controls go, beside them; and the notifications and messages of the
// Explorer-style dialog. Tests answer in the dialog's place
// through a handler, or drive the real dialog off-screen through a driver.
#pragma once

#include "platform/ui/CommDlg.h"
#include "platform/ui/DialogTemplates.h"

#include <QtWidgets/QFileDialog>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QPushButton;
class QWidget;

namespace host::widgets {

// ---- the parts that need no dialog ----

struct FilterPair {
    std::string description;
    std::vector<std::string> patterns; // "*.wav", split at ';'
};

// The pairs of a filter list (description NUL pattern NUL ... NUL NUL); a description without its
// pattern ends the list. At most maxBytes bytes are read.
std::vector<FilterPair> ParseFilterList(const char* filter, std::size_t maxBytes = 0x10000);

// A pattern as the dialog matches it: letters match either case, as file names compare on the
// platform the dialogs come from ("*.avi" takes "CLIP.AVI").
std::string CaseFreePattern(const std::string& pattern);

// The buffer form of a chosen set of files, NULs included: one file is its full path then two NULs;
// several are the folder, then each name (a full path when it is not in that folder), each ended by NUL,
// then one more NUL. nameOffset is the offset of the (first) name.
std::string SelectionBuffer(const std::string& folder, const std::vector<std::string>& paths,
                            unsigned* nameOffset = nullptr);

// The path text of the current selection as CDM_GETFILEPATH reports it: one file as its full path;
// several as the folder with its separator followed by the names in double quotes, separated by blanks.
std::string SelectionPathText(const std::string& folder, const std::vector<std::string>& paths);

// ---- the dialog ----

class FileDialog final : public QFileDialog {
  public:
    FileDialog(win::OPENFILENAMEA& ofn, bool save, QWidget* parent);
    ~FileDialog() override;

    // FALSE with CommDlgExtendedError set when the record asks for what cannot be given (no hook
    // procedure, an unknown template); then the dialog must not be shown.
    bool Prepare();
    // Sends WM_INITDIALOG and CDN_INITDONE to the hook.
    void Start();
    // The dialog's answer and its extended error after it closed.
    bool Confirmed() const { return m_confirmed; }
    win::DWORD Error() const { return m_error; }

    win::HWND DialogWindow() const { return m_dialogWindow; }
    // The window a hook works on: the parent of the template's controls.
    win::HWND HookWindow() const { return m_hookWindow; }

    // For tests and drivers: the names in the file name box (in quotes when there are several), as a
    // user types or picks them, then the OK and Cancel buttons.
    void SelectNames(const std::vector<std::string>& names);
    void ClickOk();
    void ClickCancel();
    QCheckBox* ReadOnlyBox() const { return m_readOnly; }
    QWidget* TemplateArea() const { return m_templateArea; }
    // The Qt widget of a template control; nullptr when there is none with that id.
    QWidget* TemplateControl(int id) const;
    // The dialog window was moved through the window layer: the Qt dialog follows.
    void FollowWindow();
    // Puts a pane of the caller's beside the dialog's controls (and a template's), right of them, for
    // the whole height of the dialog. Called between Prepare and Start.
    void AddSidePane(QWidget* pane);

    // The answers of the dialog window's messages.
    win::LRESULT DialogMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
    // A message for the hook; its answer, 0 without a hook.
    win::LRESULT ToHook(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

    void accept() override;
    void reject() override;

  private:
    void buildFilters();
    void buildTemplate(const win::DialogTemplate& t);
    void applyInitialName();
    bool validate(std::vector<std::string>& paths);
    bool storeResult(const std::vector<std::string>& paths);
    bool hookAccepts();
    std::vector<std::string> currentPaths() const;
    win::LRESULT notify(win::UINT code);
    void finish(bool confirmed, win::DWORD error);

    win::OPENFILENAMEA& m_ofn;
    bool m_save;
    std::vector<FilterPair> m_filters;
    QStringList m_qtFilters;
    win::HWND m_dialogWindow = nullptr;
    win::HWND m_hookWindow = nullptr;
    QCheckBox* m_readOnly = nullptr;
    QWidget* m_templateArea = nullptr;
    bool m_confirmed = false;
    win::DWORD m_error = 0;
    bool m_started = false;
    bool m_placing = false; // the dialog window is being set from the Qt dialog
};

// Answers GetOpenFileNameA/GetSaveFileNameA in place of the dialog: gets the record (after it passed the
// checks) and whether it is a save dialog, writes its answer into the record and returns TRUE or FALSE.
using FileDialogHandler = std::function<win::BOOL(win::OPENFILENAMEA& ofn, bool save)>;
// Installs handler for every file dialog of the process (empty: the real dialog) and returns the one
// installed before.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// Runs once the real dialog is shown (tests select names and click there); empty: none. Returns the
// driver installed before. Without a display the dialog is only shown when a driver is installed.
using FileDialogDriver = std::function<void(FileDialog& dialog)>;
FileDialogDriver SetFileDialogDriver(FileDialogDriver driver);

// Runs the open (save false) or save dialog as GetOpenFileNameA/GetSaveFileNameA do; extend, when set, gets
// the prepared dialog before it is shown to add its own parts (a handler installed for tests answers
// without it).
win::BOOL RunFileDialog(win::OPENFILENAMEA* ofn, bool save,
                        const std::function<void(FileDialog&)>& extend = {});

} // namespace host::widgets
