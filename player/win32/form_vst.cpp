#include "player/win32/form_vst.h"

#include <windows.h>

#include <stdexcept>

#include "player/core/render_passes.h"
#include "player/win32/ansi_text.h"
#include "player/win32/form_main.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"
#include "tav/vst/vst_common.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_pass_item.h"

namespace tav::player {

namespace {

// A text of the plug-in interface (system code page) as UTF-8.
std::string FromPlugIn(const std::string& text) { return Narrow(AnsiToWide(text)); }

// The engine's pass drives this item; it lives until the pass lets it go,
// which may be after the window is gone: the host, freed last, switches the
// pass off before its items go (PassEndsWithHost).
std::unique_ptr<vst::TVstPlugInPassItem>& PassItem() {
  static std::unique_ptr<vst::TVstPlugInPassItem> item;
  return item;
}

// Switches the pass off, waits for a block inside the plug-in and lets the
// item go. GUI thread.
bool DetachPass() {
  engine::PassState.VstActive.store(0);
  if (!engine::WaitForVstPassIdle()) return false;
  engine::PassState.VstPassItem.store(nullptr);
  PassItem().reset();
  return true;
}

void PassEndsWithHost(vst::TVstHost&) { DetachPass(); }

}  // namespace

// Item 0 of the player's VST host (the engine's global, made by the main
// window before this window exists).
class TVstItemSlot final : public IVstPlugInSlot {
 public:
  explicit TVstItemSlot(TForm4& form) : form_(form) {}
  ~TVstItemSlot() override {
    if (vst::TVstPlugIn* item = Item()) item->OnAudioMasterSizeWindow = nullptr;
  }

  void EnsureItem() override {
    if (Host() && Host()->VstPlugIns().Count() == 0) Host()->VstPlugIns().Add();
  }
  void Open(const std::string& path) override {
    vst::TVstPlugIn* item = Item();
    if (!item) throw vst::TVstError("VST插件加载错误!");
    item->SetDLLFileName(Widen(path));
    item->SetActive(true);
    item->OnAudioMasterSizeWindow = [this](vst::TVstPlugIn&, int32_t width, int32_t height) {
      return form_.Controller().EditorSizeRequest(width, height);
    };
  }
  bool IsOpen() override { return Item() && Item()->Active(); }
  void AttachPass() override {
    PassItem() = std::make_unique<vst::TVstPlugInPassItem>(*Item());
    engine::PassState.VstPassItem.store(PassItem().get());
    Host()->OnDestroy = &PassEndsWithHost;
  }
  void LoadPreset(const std::string& file) override { Item()->LoadPresetFromFile(Widen(file)); }
  void SavePreset(const std::string& file) override { Item()->SavePresetToFile(Widen(file)); }
  unsigned EditOpen() override {
    Item()->EditOpen(form_.Handle());
    return Item()->EditOpenFault();
  }
  void EditGetRect(TVstEditorRect& rect) override {
    vst::ERect r{rect.top, rect.left, rect.bottom, rect.right};
    Item()->EditGetRect(r);
    rect = {r.top, r.left, r.bottom, r.right};
  }
  std::string VendorString() override { return FromPlugIn(Item()->VendorString()); }
  std::string EffectName() override { return FromPlugIn(Item()->GetEffectName()); }
  int32_t NumPrograms() override { return Item()->numPrograms(); }
  void SetProgram(int32_t program) override { Item()->SetProgramNr(program); }
  std::string ProgramName() override { return FromPlugIn(Item()->ProgramName()); }
  void SetTempo(double tempo) override { Host()->VstTimeInfo().SetTempo(tempo); }
  void Idle() override {
    if (vst::TVstPlugIn* item = Item()) {
      item->Idle();
      item->EditIdle();
    }
  }
  void CloseEditor() override {
    if (vst::TVstPlugIn* item = Item()) item->CloseEditor();
  }
  void Release() override {
    if (!DetachPass()) return;
    vst::TVstPlugIn* item = Item();
    if (!item) return;
    item->OnAudioMasterSizeWindow = nullptr;
    item->SetActive(false);
    item->CloseEditor();
    item->Close();
    Host()->VstPlugIns().Delete(0);
  }
  bool ChangeSampleRate(float rate) override { return Host() && Host()->ChangeSampleRate(rate); }
  unsigned PassFault() override { return PassItem() ? PassItem()->Fault() : 0; }

 private:
  static vst::TVstHost* Host() { return engine::PassState.VstHost; }
  static vst::TVstPlugIn* Item() {
    return Host() && Host()->VstPlugIns().Count() > 0 ? &Host()->Items(0) : nullptr;
  }
  TForm4& form_;
};

// The engine's flags of the VST pass.
class TEnginePassFlags final : public IVstPassFlags {
 public:
  bool Active() override { return engine::PassState.VstActive.load() != 0; }
  void SetActive(bool on) override { engine::PassState.VstActive.store(on ? -1 : 0); }
  void SetEnabled(bool on) override { engine::PassState.VstEnabled.store(on ? -1 : 0); }
  void Sleep(int ms) override { ::Sleep(DWORD(ms)); }
  bool WaitIdle() override { return engine::WaitForVstPassIdle(); }
};

TForm4::TForm4(ISettingsStore* settings) : settings_(settings) {
  TForm::SetCaption(Widen(kVstEmptyCaption));
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu | biMinimize);
  SetColor(cl3DDkShadow);
  // The plug-in's editor takes its own keys (Tab, arrows, Enter, Esc).
  ForeignChildKeys = true;

  VSTTop = MainMenu1.Items.Add(L"VST插件");
  VSTLoad = VSTTop->Add(L"加载VST插件..", [this](TObject* s) { VSTLoadClick(s); });
  VSTUn = VSTTop->Add(L"关闭VST插件", [this](TObject* s) { VSTUnClick(s); });
  not0 = VSTTop->Add(L"-");
  muLoadfxp = VSTTop->Add(L"导入参数文件..", [this](TObject* s) { muLoadfxpClick(s); });
  muSavefxp = VSTTop->Add(L"导出参数文件..", [this](TObject* s) { muSavefxpClick(s); });
  not1 = VSTTop->Add(L"-");
  VSTEna = VSTTop->Add(L"启用", [this](TObject* s) { VSTEnaClick(s); });
  VSTEna->SetChecked(true);
  VstProg = MainMenu1.Items.Add(L"效果预置");
  SetMenu(&MainMenu1);
  SetClientSize(kVstEmptyClientWidth, kVstEmptyClientHeight);
  SetBounds(kVstDesignLeft, kVstDesignTop, Width(), Height());

  VSTDialog.Filter = L"VST音效插件(*.dll)|*.dll|所有文件(*.*)|*.*";
  Timer1.SetInterval(18);
  Timer1.SetEnabled(false);
  Timer1.OnTimer = [this](TObject* s) { Timer1Timer(s); };

  slot_ = std::make_unique<TVstItemSlot>(*this);
  flags_ = std::make_unique<TEnginePassFlags>();
  controller_ = std::make_unique<TVstWindowController>(*slot_, *flags_, static_cast<IVstWindowView&>(*this), Narrow(ProgramFolder()));

  OnCreate = [this](TObject*) { FormCreate(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  OnShow = [this](TObject*) { controller_->WriteVisible(settings_, Visible()); };
  OnClose = [this](TObject*, TCloseAction&) { controller_->WriteVisible(settings_, false); };
}

TForm4::~TForm4() {
  Timer1.SetEnabled(false);
  controller_.reset();
  slot_.reset();
}

void TForm4::FormCreate() {
  const TVstWindowController::TPlace place = controller_->FormCreate(settings_);
  SetBounds(place.Left, place.Top, Width(), Height());
  if (place.Visible) Show();
}

void TForm4::FormDestroy() {
  Timer1.SetEnabled(false);
  controller_->FormDestroy(settings_, Left(), Top());
}

void TForm4::LoadFVst(const std::string& path) { controller_->LoadFVst(path); }

void TForm4::VSTLoadClick(TObject*) {
  VSTDialog.Title = L"加载VST插件";
  VSTDialog.FileName.clear();
  VSTDialog.Owner = Handle();
  if (!VSTDialog.Execute()) return;
  LoadFVst(Narrow(VSTDialog.FileName));
}

void TForm4::VSTUnClick(TObject*) { controller_->VSTUnClick(); }

void TForm4::muLoadfxpClick(TObject*) {
  if (!controller_->CanUseFxp()) return;
  Openfxp.Title = L"导入...";
  Openfxp.Filter = L"参数文件(*.fxp)|*.fxp|所有文件(*.*)|*.*";
  Openfxp.Owner = Handle();
  if (!Openfxp.Execute()) return;
  controller_->ImportFxp(Narrow(Openfxp.FileName));
}

void TForm4::muSavefxpClick(TObject*) {
  if (!controller_->CanUseFxp()) return;
  Savefxp.Title = L"导出...";
  Savefxp.Filter = L"参数文件(*.fxp)|*.fxp";
  Savefxp.DefaultExt.clear();
  // ".fxp" is added after the dialog: a prompt there would ask about
  // another name than the one written.
  Savefxp.Options = ofHideReadOnly | ofPathMustExist;
  Savefxp.Owner = Handle();
  if (!Savefxp.Execute()) return;
  controller_->ExportFxp(Narrow(Savefxp.FileName));
}

void TForm4::VSTEnaClick(TObject*) {
  VSTEna->SetChecked(!VSTEna->Checked());
  controller_->VSTEnaClick();
}

void TForm4::N_Click(TObject* sender) {
  controller_->ProgramClick(VstProg->IndexOf(static_cast<TMenuItem*>(sender)));
}

void TForm4::Timer1Timer(TObject*) { controller_->Timer1Timer(); }

void TForm4::StreamStarting() {
  const DWORD rate = engine::StreamState.ChannelInfo.freq;
  if (rate == 0) return;
  // A render running through the plug-in keeps its own rate to its end.
  if (TEngineRenderLock::DeferStreamRate(float(rate))) return;
  controller_->StreamStarting(float(rate));
}

// --- what the controller shows --------------------------------------------------

void TForm4::SetCaption(const std::string& utf8) { TForm::SetCaption(Widen(utf8)); }

void TForm4::SetClientSize(int width, int height) { TForm::SetClientSize(width, height); }

void TForm4::ClearPrograms() { VstProg->Clear(); }

void TForm4::AddProgram(const std::string& utf8) {
  VstProg->Add(Widen(utf8), [this](TObject* s) { N_Click(s); });
}

int TForm4::ProgramItemCount() { return VstProg->Count(); }

void TForm4::SetProgramChecked(int index, bool checked) { VstProg->Items(index)->SetChecked(checked); }

bool TForm4::EnabledChecked() { return VSTEna->Checked(); }

void TForm4::SetEnabledChecked(bool checked) { VSTEna->SetChecked(checked); }

void TForm4::SetIdleTimer(bool on) { Timer1.SetEnabled(on); }

bool TForm4::FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

void TForm4::EnsureFolder(const std::string& path) {
  const std::wstring folder = Widen(path);
  if (CreateDirectoryW(folder.c_str(), nullptr)) return;
  const DWORD a = GetFileAttributesW(folder.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
    throw std::runtime_error("cannot create the folder " + path);
}

void TForm4::ShowError(const std::string& utf8) {
  Application().ShowException(std::make_exception_ptr(std::runtime_error(utf8)));
}

}  // namespace tav::player
