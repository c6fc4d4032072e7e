#include "app/gui/SubForm.h"

#include "app/gui/GaugeStyle.h"
#include "app/gui/MainForm.h"
#include "avi/KvAVI.h"
#include "controls/FoldrDlg.h"
#include "controls/KvGauge.h"
#include "dialogs/KvAVIDlg.h"
#include "platform/gdi/Gdi.h"
#include "platform/widgets/ExtCtrls.h"
#include "platform/widgets/StdCtrls.h"

namespace app {

TSubForm* SubForm = nullptr;

namespace texts {
const char* const kLoad = "AVIファイルの読み込み...";
const char* const kChooseFolder = "静止画の保存場所を選ぶ...";
const char* const kExtract = "静止画に展開する";
const char* const kQuit = "プログラムを終了する";
const char* const kOperation = "動作";
const char* const kModes[3] = {"フィールドに分解しない", "奇数フィールドが先頭として分解",
                               "偶数フィールドが先頭として分解"};
const char* const kFolderPrompt = "静止画像の保存場所を選択してください";
const char* const kCredit = "QUILLAN  AVI 静止画展開ツール";
const char* const kNoVideo = "映像を含むAVIファイルが読み込まれていません。\n"
                             "静止画は書き出されませんでした。";
} // namespace texts

namespace {

host::TButton* makeButton(TSubForm* form, const char* name, int top, const char* caption, bool enabled,
                          int tabOrder, void (TSubForm::*handler)(host::TObject*)) {
    auto* button = new host::TButton(form);
    button->SetName(name);
    button->SetParent(form);
    button->SetBounds(8, top, 169, 25);
    button->SetCaption(caption);
    button->SetEnabled(enabled);
    button->SetTabOrder(tabOrder);
    button->OnClick = [form, handler](host::TObject* sender) { (form->*handler)(sender); };
    return button;
}

} // namespace

TSubForm::TSubForm(host::TComponent* owner) : host::TForm(owner) {
    SetName("SubForm");
    SetCaption("QUILLAN");
    SetPosition(host::poScreenCenter);
    SetColor(host::clBtnFace);
    SetBounds(GetLeft(), GetTop(), 416, 204);
    host::TFont* font = GetFont();
    font->SetName("ＭＳ Ｐゴシック");
    font->SetHeight(-12);
    font->SetCharset(win::SHIFTJIS_CHARSET);
    font->SetColor(host::clWindowText);

    Gauge = new kv::TKvGauge(this);
    Gauge->SetName("Gauge");
    Gauge->SetParent(this);
    Gauge->SetBounds(0, 163, 408, 18);
    Gauge->SetAlign(host::alBottom);
    ApplyToolGaugeBevel(*Gauge->GetBevel());

    Label1 = new host::TLabel(this);
    Label1->SetName("Label1");
    Label1->SetParent(this);
    Label1->SetBounds(80, 144, 230, 12);
    Label1->SetCaption(texts::kCredit);

    LoadButton = makeButton(this, "LoadButton", 8, texts::kLoad, true, 0, &TSubForm::LoadButtonClick);
    SaveButton = makeButton(this, "SaveButton", 40, texts::kChooseFolder, false, 1, &TSubForm::SaveButtonClick);
    ExtractButton =
        makeButton(this, "ExtractButton", 72, texts::kExtract, false, 2, &TSubForm::ExtractButtonClick);

    RadioGroup = new host::TRadioGroup(this);
    RadioGroup->SetName("RadioGroup");
    RadioGroup->SetParent(this);
    RadioGroup->SetBounds(192, 8, 201, 105);
    RadioGroup->SetCaption(texts::kOperation);
    for (const char* mode : texts::kModes)
        RadioGroup->GetItems()->Add(mode);
    RadioGroup->SetItemIndex(0);
    RadioGroup->SetTabOrder(3);

    QuitButton = makeButton(this, "QuitButton", 112, texts::kQuit, true, 4, &TSubForm::QuitButtonClick);

    SaveFolderDialog = new kv::TFolderDialog(this);
    SaveFolderDialog->SetName("SaveFolderDialog");
    SaveFolderDialog->SPVCaption("Browse for Folder");
    SaveFolderDialog->SetText(texts::kFolderPrompt);

    m_progress = std::make_unique<GaugeProgress>(*Gauge);
}

TSubForm::~TSubForm() = default;

void TSubForm::LoadButtonClick(host::TObject*) {
    if (!MainForm->OpenDialog->Execute()) return;
    LoadFile(MainForm->OpenDialog->GetFileName());
}

void TSubForm::LoadFile(const std::string& fileName) {
    kv::TKvAVIFile* file = MainForm->AVIFile;
    file->CloseFile();
    file->SetFileName(fileName);
    file->OpenFile(); // a failure leaves the handler with the AVI error; the buttons stay as they are
    if (file->GetTypedStreamCount(kv::stVideo) > 0) SaveButton->SetEnabled(true);
}

void TSubForm::SaveButtonClick(host::TObject*) {
    if (SaveFolderDialog->Execute()) ExtractButton->SetEnabled(true);
}

void TSubForm::UseFolder(const std::string& folder) {
    SaveFolderDialog->SPVDirectory(folder);
    ExtractButton->SetEnabled(true);
}

void TSubForm::ExtractButtonClick(host::TObject*) {
    kv::TKvAVIFile* file = MainForm->AVIFile;
    // The buttons are never disabled again, so a later load of a file without video (or one that did
    // not open) reaches here: nothing to extract, and the user is told so.
    if (!file->Opened() || file->GetTypedStreamCount(kv::stVideo) == 0) {
        host::Application->MessageBox(texts::kNoVideo, "", win::MB_OK | win::MB_ICONWARNING);
        return;
    }
    // A cancelled folder choice after a confirmed one leaves the folder empty; rather than writing at
    // the file system's root, ask for the folder again.
    if (SaveFolderDialog->GPVDirectory().empty() &&
        (!SaveFolderDialog->Execute() || SaveFolderDialog->GPVDirectory().empty()))
        return;

    RadioGroupMode mode(*RadioGroup);
    FolderDialogFolder folder(*SaveFolderDialog);
    ExtractionRun run(*file, mode, folder, *m_progress, *MainForm);
    m_lastReport = run.Execute();
    if (!m_lastReport.completed) showFailure(m_lastReport);
}

void TSubForm::QuitButtonClick(host::TObject*) {
    Close();
}

std::string FailureMessage(const ExtractionReport& report) {
    std::string text = "静止画の展開を中断しました。\n\n";
    if (report.failedFrame >= 0)
        text += "フレーム: " + std::to_string(report.failedFrame) + " / " + std::to_string(report.frameCount) + "\n";
    if (!report.failedFile.empty()) text += "ファイル: " + report.failedFile + "\n";
    text += "原因: " + report.message;
    if (!report.detail.empty()) text += " (" + report.detail + ")";
    text += "\n書き出した静止画: " + std::to_string(report.filesWritten) + " 枚";
    return text;
}

void TSubForm::showFailure(const ExtractionReport& report) {
    host::Application->MessageBox(FailureMessage(report), "", win::MB_OK | win::MB_ICONSTOP);
}

} // namespace app
