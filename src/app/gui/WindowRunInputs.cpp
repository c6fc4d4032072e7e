#include "app/gui/WindowRunInputs.h"

#include "controls/FoldrDlg.h"
#include "controls/KvGauge.h"
#include "platform/widgets/ExtCtrls.h"

namespace app {

int RadioGroupMode::Mode() {
    return m_group.GetItemIndex();
}

std::string FolderDialogFolder::Directory() {
    return m_dialog.GPVDirectory();
}

void GaugeProgress::SetMaxValue(int value) {
    m_gauge.SetMaxValue(value);
    changed(chMaxValue);
}

void GaugeProgress::SetProgress(int value) {
    m_gauge.SetProgress(value); // repaints by itself when the shown percentage changes
    changed(chProgress);
}

void GaugeProgress::SetVisible(bool visible) {
    m_gauge.SetVisible(visible);
    // A gauge that appears is drawn now; the event loop that would draw it does not run until the end.
    if (visible) m_gauge.Repaint();
    changed(chVisible);
}

void GaugeProgress::SetBusy(bool busy) {
    host::Screen->SetCursor(busy ? host::crHourGlass : host::crDefault);
    changed(chBusy);
}

void GaugeProgress::changed(Change change) {
    if (OnChange) OnChange(change);
}

} // namespace app
