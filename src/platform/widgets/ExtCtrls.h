// More controls: the panel with its bevels and caption, the radio group and the timer.
#pragma once

#include "platform/ui/StringList.h"
#include "platform/widgets/Forms.h"

#include <QtCore/QPointer>

#include <memory>
#include <vector>

class QRadioButton;
class QTimer;

namespace host {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// Draws width nested 1-pixel frames inside rect with the canvas's pen: the left column and top row of
// each in topColor, the right column and bottom row in bottomColor (so the top-right and bottom-left
// corner pixels take bottomColor); rect comes back smaller by width on every side.
void Frame3D(TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// A container with an outer and an inner bevel (raised or lowered, BevelWidth pixels each) and a
// border of BorderWidth pixels in Color between them; the caption is drawn in one line in the middle
// of the area inside, placed horizontally by Alignment. Aligned children are laid out inside the
// bevels and the border. 185 × 41, outer bevel raised, Color clBtnFace.
class TCustomPanel : public TCustomControl {
  public:
    explicit TCustomPanel(TComponent* owner);

    TAlignment GetAlignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TBevelCut GetBevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut cut);
    TBevelCut GetBevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut cut);
    int GetBevelWidth() const { return m_bevelWidth; }
    // At least 1.
    void SetBevelWidth(int width);
    int GetBorderWidth() const { return m_borderWidth; }
    // At least 0.
    void SetBorderWidth(int width);

    // Shrinks rect by the bevels and the border, then lays out the children in it.
    void AlignControls(TControl* control, TRect& rect) override;

  protected:
    void Paint() override;
    void TextChanged() override;

  private:
    void bevelsChanged();

    TAlignment m_alignment = taCenter;
    TBevelCut m_bevelInner = bvNone;
    TBevelCut m_bevelOuter = bvRaised;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
};

class TPanel : public TCustomPanel {
  public:
    using TCustomPanel::TCustomPanel;
};

// A group box of radio buttons, one per string of Items, arranged top to bottom in Columns columns
// under the caption. ItemIndex is the checked button (-1: none). Checking a button, by the user or by
// setting ItemIndex, runs Click. 185 × 105.
class TCustomRadioGroup : public TWinControl {
  public:
    explicit TCustomRadioGroup(TComponent* owner);
    ~TCustomRadioGroup() override;

    TStrings* GetItems() const { return m_items.get(); }
    void SetItems(const TStrings* items) { m_items->Assign(items); }
    int GetItemIndex() const { return m_itemIndex; }
    // Clamped to -1 .. Items.Count - 1.
    void SetItemIndex(int index);
    int GetColumns() const { return m_columns; }
    // Clamped to 1 .. 16.
    void SetColumns(int columns);

    void SetBounds(int left, int top, int width, int height) override;

  protected:
    QWidget* CreateWidget(QWidget* parent) override;
    void InitializeWidget(QWidget* widget) override;
    bool NativeWidget() const override { return true; }
    void TextChanged() override;
    void FontChanged() override;

  private:
    void itemsChanged();
    void updateButtons();
    void arrangeButtons();
    void checkButtons();
    void buttonClicked(int index);

    std::unique_ptr<TStringList> m_items;
    std::vector<QPointer<QRadioButton>> m_buttons;
    int m_itemIndex = -1;
    int m_columns = 1;
};

class TRadioGroup : public TCustomRadioGroup {
  public:
    using TCustomRadioGroup::TCustomRadioGroup;
};

// Runs OnTimer on the UI thread every Interval milliseconds while Enabled (default 1000 ms, enabled);
// an Interval of 0 stops it. Changing either starts the interval anew.
class TTimer : public TComponent {
  public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    unsigned GetInterval() const { return m_interval; }
    void SetInterval(unsigned ms);
    bool GetEnabled() const { return m_enabled; }
    void SetEnabled(bool v);

    TNotifyEvent OnTimer;

  protected:
    // Runs OnTimer.
    virtual void Timer();

  private:
    void update();

    std::unique_ptr<QTimer> m_timer;
    unsigned m_interval = 1000;
    bool m_enabled = true;
};

} // namespace host
