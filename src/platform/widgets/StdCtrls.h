// Standard controls: push button and check box (Qt's own controls as their windows) and the label (a
// graphic control drawing its caption through the canvas).
#pragma once

#include "platform/widgets/Forms.h"

namespace host {

// A push button, 75 × 25. Clicking it (or pressing Space while it has the focus) runs Click.
class TButton : public TWinControl {
  public:
    explicit TButton(TComponent* owner);

    // Sets the form's ModalResult to the button's (when it has one), then runs OnClick.
    void Click() override;
    TModalResult GetModalResult() const { return m_modalResult; }
    void SetModalResult(TModalResult result) { m_modalResult = result; }

  protected:
    QWidget* CreateWidget(QWidget* parent) override;
    void InitializeWidget(QWidget* widget) override;
    bool NativeWidget() const override { return true; }
    void TextChanged() override;

  private:
    TModalResult m_modalResult = mrNone;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box, 97 × 17. A click moves it to the next state (unchecked → checked → unchecked, through
// grayed when AllowGrayed); every change of State, by the user or by a setter, runs Click.
class TCheckBox : public TWinControl {
  public:
    explicit TCheckBox(TComponent* owner);

    bool GetChecked() const { return m_state == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    TCheckBoxState GetState() const { return m_state; }
    void SetState(TCheckBoxState state);
    bool GetAllowGrayed() const { return m_allowGrayed; }
    void SetAllowGrayed(bool v);

  protected:
    QWidget* CreateWidget(QWidget* parent) override;
    void InitializeWidget(QWidget* widget) override;
    bool NativeWidget() const override { return true; }
    void TextChanged() override;

  private:
    void syncWidget();

    TCheckBoxState m_state = cbUnchecked;
    bool m_allowGrayed = false;
};

enum TTextLayout { tlTop, tlCenter, tlBottom };

// A text on its parent's surface. With AutoSize (the default) it takes the size of its text after
// every change of caption, font or word wrap, keeping its right edge when right-justified. A label that
// is not Transparent fills its rectangle with Color first; a disabled label draws its text embossed.
class TCustomLabel : public TGraphicControl {
  public:
    explicit TCustomLabel(TComponent* owner);

    TAlignment GetAlignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    bool GetAutoSize() const { return m_autoSize; }
    void SetAutoSize(bool v);
    bool GetTransparent() const { return !(GetControlStyle() & csOpaque); }
    void SetTransparent(bool v);
    bool GetWordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool v);
    // Whether '&' marks the next character as an accelerator (underlined) instead of showing.
    bool GetShowAccelChar() const { return m_showAccelChar; }
    void SetShowAccelChar(bool v);
    TTextLayout GetLayout() const { return m_layout; }
    void SetLayout(TTextLayout layout);

  protected:
    void Paint() override;
    void FontChanged() override;
    void TextChanged() override;
    void EnabledChanged() override;
    // Draws (or with DT_CALCRECT measures) the caption in rect with the DrawText flags.
    void DoDrawText(TRect& rect, win::UINT flags);
    void AdjustBounds();
    win::UINT TextFlags() const;

  private:
    TAlignment m_alignment = taLeftJustify;
    TTextLayout m_layout = tlTop;
    bool m_autoSize = true;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
};

class TLabel : public TCustomLabel {
  public:
    using TCustomLabel::TCustomLabel;
};

} // namespace host
