// Forms (top-level windows), the application object with its message loop and exception display,
// and the screen with its cursors.
#pragma once

#include "platform/widgets/Controls.h"
#include "platform/widgets/MessageBox.h"

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QObject;

namespace host {

enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = win::IDOK;
constexpr TModalResult mrCancel = win::IDCANCEL;
constexpr TModalResult mrAbort = win::IDABORT;
constexpr TModalResult mrRetry = win::IDRETRY;
constexpr TModalResult mrIgnore = win::IDIGNORE;
constexpr TModalResult mrYes = win::IDYES;
constexpr TModalResult mrNo = win::IDNO;
constexpr TModalResult mrAll = mrNo + 1;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

// A top-level window. Left, Top, Width and Height are the outer bounds, frame and caption included (the
// frame's size follows the border style and the system metrics); the client area is what the widget
// shows. A form is Color clBtnFace and not visible when made.
class TCustomForm : public TWinControl {
  public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Runs OnCreate, once; Application->CreateForm calls it after construction (so that the derived
    // form's controls exist). Forms made otherwise call it themselves when they want OnCreate.
    virtual void AfterConstruction();
    // Runs OnDestroy, once, while the form is still whole; the destructor calls it when nobody did.
    virtual void BeforeDestruction();

    TFormBorderStyle GetBorderStyle() const { return m_borderStyle; }
    void SetBorderStyle(TFormBorderStyle style);
    TPosition GetPosition() const { return m_position; }
    void SetPosition(TPosition position) { m_position = position; }
    // Size of the frame on each side and of the caption bar for the border style.
    int FrameWidth() const;
    int CaptionHeight() const;

    TRect GetClientRect() const override;
    TPoint GetClientOrigin() const override;
    bool Showing() const override { return GetVisible() || (ComponentState() & csDesigning); }

    // Shows the window and brings it to the front.
    void Show();
    void Hide() { SetVisible(false); }
    // Asks OnCloseQuery, then runs OnClose with caHide: caHide hides the form, caFree frees it later
    // (Release), caNone keeps it. Closing the application's main form ends the application instead. In
    // a modal loop Close only sets ModalResult to mrCancel.
    void Close();
    bool CloseQuery();
    // Shows the form modally and runs the message loop until ModalResult is set (a button with a
    // ModalResult, or Close); returns it. The form is hidden again afterwards.
    int ShowModal();
    TModalResult GetModalResult() const { return m_modalResult; }
    void SetModalResult(TModalResult result) { m_modalResult = result; }
    // Frees the form once the event loop is back (safe from the form's own event handlers).
    void Release();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

  protected:
    QWidget* CreateWidget(QWidget* parent) override;
    void InitializeWidget(QWidget* widget) override;
    TRect WidgetGeometry() const override;
    void ApplyWidgetGeometry(QWidget& widget, const TRect& geometry) override;
    void WidgetMoved(const TRect& geometry) override;
    void VisibleChanged() override;
    void TextChanged() override;
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);

  private:
    void placeOnScreen();

    TFormBorderStyle m_borderStyle = bsSizeable;
    TPosition m_position = poDesigned;
    TModalResult m_modalResult = mrNone;
    bool m_modal = false;
    bool m_placed = false;
    bool m_created = false;
    bool m_destroyed = false;
    std::unique_ptr<QObject> m_releaseContext; // cancels a pending Release when the form goes first
};

class TForm : public TCustomForm {
  public:
    using TCustomForm::TCustomForm;
};

// The form a control is placed on; nullptr when it is on none.
TCustomForm* GetParentForm(const TControl* control);

using TExceptionEvent = std::function<void(TObject* sender, const Exception& e)>;

// The application: its title, its forms (the first one made through CreateForm is the main form), the
// message loop and the default display of exceptions that event handlers let through.
class TApplication : public TComponent {
  public:
    TApplication();
    ~TApplication() override;

    // Makes the Qt application and installs the message pump (Delay and ProcessMessages use it).
    void Initialize();

    // The title used for the application's message boxes; the program's name until set.
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }

    // Makes a form of class T owned by the application, stores it in reference and runs its OnCreate.
    // The first form made this way is the main form.
    template <typename T> void CreateForm(T*& reference) {
        T* form = new T(this);
        reference = form;
        formCreated(form);
    }
    TCustomForm* GetMainForm() const { return m_mainForm; }

    // Shows the main form and processes messages until the application terminates (the main form is
    // closed, or Terminate); then frees the forms the application owns. Returns at once without a
    // main form.
    void Run();
    // Dispatches every message that is waiting, then returns.
    void ProcessMessages();
    // Waits for messages and dispatches them (one turn of the loop).
    void HandleMessage();
    void Terminate();
    bool Terminated() const { return m_terminated.load(); }

    // Reports the exception being handled (call it inside a catch block): OnException when assigned,
    // ShowException otherwise.
    void HandleException(TObject* sender);
    // A message box with the exception's message under the application's title.
    void ShowException(const Exception& e);
    // A message box over the main form under caption (the title when empty); returns the button chosen.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags = win::MB_OK);

    TExceptionEvent OnException;

  protected:
    void Notification(TComponent* component, TOperation operation) override;

  private:
    void formCreated(TCustomForm* form);
    void destroyForms();

    std::string m_title;
    TCustomForm* m_mainForm = nullptr;
    std::atomic<bool> m_terminated{false}; // read by Delay on any thread
};

// The screen: its size, the forms on it, the cursor shown on all windows and the table of cursors.
class TScreen : public TComponent {
  public:
    TScreen();
    ~TScreen() override;

    // crDefault lets every window show its own cursor; any other value is shown on all windows of the
    // application until the cursor is set back to crDefault.
    TCursor GetCursor() const { return m_cursor; }
    void SetCursor(TCursor cursor);

    // The cursor handle for a cursor number: the standard cursors, and those the application added; an
    // unknown number gives the default cursor.
    win::HCURSOR GetCursors(int index) const;
    // Puts a cursor into the table (0 removes it; for crDefault it restores the arrow). A handle it
    // replaces is destroyed (shared resources are left alone by DestroyCursor).
    void SetCursors(int index, win::HCURSOR cursor);

    int GetWidth() const;
    int GetHeight() const;
    int GetPixelsPerInch() const { return 96; }

    int FormCount() const { return int(m_forms.size()); }
    TCustomForm* Forms(int index) const;

  private:
    friend class TCustomForm;
    void addForm(TCustomForm* form);
    void removeForm(TCustomForm* form);
    void applyCursor();

    TCursor m_cursor = crDefault;
    bool m_overriding = false; // a cursor is shown on all windows
    std::map<int, win::HCURSOR> m_cursors;
    win::HCURSOR m_defaultCursor = nullptr;
    std::vector<TCustomForm*> m_forms;
};

// A process-wide object made on first use (so it can be used from any static initialiser) and never
// destroyed; used like a pointer.
template <typename T> class TGlobalObject {
  public:
    T* operator->() const { return &instance(); }
    T& operator*() const { return instance(); }
    operator T*() const { return &instance(); }

  private:
    static T& instance() {
        static T* object = new T();
        return *object;
    }
};

inline constexpr TGlobalObject<TApplication> Application{};
inline constexpr TGlobalObject<TScreen> Screen{};

} // namespace host
