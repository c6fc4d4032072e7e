// The base of the library's file dialogs with extra controls: it runs the platform's open or save dialog
// with a hook procedure and an optional child template, finds its component again inside the hook, and
// turns the dialog's notifications into overridable operations (DoCreate, DoDestroy, DoFileOK,
// DoSelChanged, DoCommand). OnShow fires once the dialog is set up (after DoCreate) and OnClose when it
// goes (after DoDestroy). Only one such dialog is open at a time in the process.
#pragma once

#include "core/KvObj.h"
#include "platform/ui/CommDlg.h"
#include "platform/ui/StringList.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

namespace kv {

enum TOpenOption {
    ofReadOnly,
    ofOverwritePrompt,
    ofHideReadOnly,
    ofNoChangeDir,
    ofShowHelp,
    ofNoValidate,
    ofAllowMultiSelect,
    ofExtensionDifferent,
    ofPathMustExist,
    ofFileMustExist,
    ofCreatePrompt,
    ofShareAware,
    ofNoReadOnlyReturn,
    ofNoTestFileCreate,
    ofNoNetworkButton,
    ofNoLongNames,
    ofOldStyleDialog,
    ofNoDereferenceLinks,
    ofEnableIncludeNotify,
    ofEnableSizing,
};

// A set of TOpenOption, bit n for member n.
class TOpenOptions {
  public:
    constexpr TOpenOptions() = default;
    constexpr TOpenOptions(std::initializer_list<TOpenOption> members) {
        for (TOpenOption m : members)
            m_bits |= 1u << m;
    }
    constexpr bool Contains(TOpenOption m) const { return (m_bits >> m) & 1u; }
    constexpr void Include(TOpenOption m) { m_bits |= 1u << m; }
    constexpr void Exclude(TOpenOption m) { m_bits &= ~(1u << m); }
    constexpr std::uint32_t Bits() const { return m_bits; }
    constexpr bool operator==(const TOpenOptions&) const = default;

  private:
    std::uint32_t m_bits = 0;
};

// The platform flag of each option (the same meaning under the dialog's own name).
win::DWORD OpenOptionFlag(TOpenOption option);
// All flags of a set of options.
win::DWORD OpenOptionFlags(TOpenOptions options);

using TFileOKEvent = std::function<void(host::TObject* Sender, const std::string& Filename, bool& IsOk)>;
using TSelChangeEvent = std::function<void(host::TObject* Sender, const std::string& Filename)>;
using TCommandEvent =
    std::function<void(host::TObject* Sender, std::int32_t Wnd, std::int32_t Parent, std::int32_t cmd)>;
// GetOpenFileNameA, GetSaveFileNameA or any function of their signature.
using TOpenFileNameFunc = std::function<win::BOOL(win::LPOPENFILENAMEA ofn)>;

class TKvCustomOpenDialog : public TKvCommonDialog {
  public:
    explicit TKvCustomOpenDialog(host::TComponent* AOwner);
    ~TKvCustomOpenDialog() override;

    // Runs the open dialog; true when the user chose a file.
    bool Execute() override;
    // Runs the dialog through the given function; its answer (non-zero when the user confirmed).
    // Raises Exception while another dialog of this kind is open.
    win::BOOL DoExecute(const TOpenFileNameFunc& dialogFunction);

    // The hook window while the dialog is open, 0 otherwise.
    win::HWND GetHookWnd() const { return m_hookWnd; }
    const std::string& GetTemplateName() const { return m_templateName; }

    host::TStrings& GetHistoryList() const { return *m_historyList; }
    void SetHistoryList(const host::TStrings& list);
    TOpenOptions GetOptions() const { return m_options; }
    void SetOptions(TOpenOptions options) { m_options = options; }
    const std::string& GetFilter() const { return m_filter; }
    void SetFilter(const std::string& filter) { m_filter = filter; }
    std::int32_t GetFilterIndex() const { return m_filterIndex; }
    void SetFilterIndex(std::int32_t index) { m_filterIndex = index; }
    const std::string& GetInitialDir() const { return m_initialDir; }
    // Stores the path without one trailing "/", unless the path is the root "/".
    void SetInitialDir(const std::string& path);
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    const std::string& GetDefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const std::string& ext) { m_defaultExt = ext; }
    const std::string& GetFileName() const { return m_fileName; }
    void SetFileName(const std::string& name) { m_fileName = name; }
    host::TStrings& GetFiles() const { return *m_files; }
    // Kept for the application: the 3-D look only ever applied to the old-style dialog, which this
    // platform does not have, and there is no help system to show a context of.
    bool GetCtl3D() const { return m_ctl3D; }
    void SetCtl3D(bool v) { m_ctl3D = v; }
    std::int32_t GetHelpContext() const { return m_helpContext; }
    void SetHelpContext(std::int32_t v) { m_helpContext = v; }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TFileOKEvent OnFileOK;
    TSelChangeEvent OnSelChanged;
    TCommandEvent OnCommand;

    // The hook given to the platform dialog.
    static win::UINT_PTR DialogHookProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                                        win::LPARAM lParam);
    // Moves a window to the middle of the screen's width and a third down its height, keeping its size.
    static void CenterWindow(win::HWND window);
    // Fills list from a NUL-separated buffer (its NULs are part of the string): a single full path, or a
    // folder followed by names that are made full paths (names already absolute stay as they are).
    static void SplitMultiSelection(const std::string& buffer, host::TStrings& list);
    // The last file of a path text as the dialog reports its selection: a folder followed by names in
    // double quotes, or one full path.
    static std::string LastQuotedFile(const std::string& text);

    // The component whose dialog is open; nullptr when none is.
    static TKvCustomOpenDialog* OpenDialog() { return s_openDialog; }

  protected:
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoFileOK(const std::string& Filename, bool& IsOk);
    virtual void DoSelChanged(const std::string& Filename);
    virtual void DoCommand(std::int32_t Wnd, std::int32_t Parent, std::int32_t cmd);

    // Runs the dialog function modally and restores the processor's floating-point environment after it.
    win::BOOL TaskModalDialog(const TOpenFileNameFunc& dialogFunction, win::OPENFILENAMEA& ofn);

    void SetTemplateName(const std::string& name) { m_templateName = name; }

  private:
    // Runs DoFileOK over the names of the buffer; false when one was rejected.
    bool checkFiles(const std::string& buffer);

    win::HWND m_hookWnd = nullptr;
    std::string m_templateName;
    std::unique_ptr<host::TStringList> m_historyList;
    TOpenOptions m_options;
    std::string m_filter;
    std::int32_t m_filterIndex = 1;
    std::string m_initialDir;
    std::string m_title;
    std::string m_defaultExt;
    std::string m_fileName;
    std::unique_ptr<host::TStringList> m_files;
    std::unique_ptr<host::TStringList> m_workList;
    bool m_ctl3D = true;
    std::int32_t m_helpContext = 0;

    static TKvCustomOpenDialog* s_openDialog; // set from WM_INITDIALOG to WM_DESTROY
    static TKvCustomOpenDialog* s_running;    // set for the whole of DoExecute
};

} // namespace kv
