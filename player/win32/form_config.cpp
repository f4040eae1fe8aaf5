#include "player/win32/form_config.h"

#include "player/win32/ansi_text.h"
#include "player/win32/look.h"
#include "toolkit/win32/dialogs.h"

namespace tav::player {

namespace {

// Layout (client 659 x 263): the device and buffer groups on the left, the
// compatibility and seek key groups on the right, the note and "关闭" along
// the bottom. Controls inside a group are placed in the group's coordinates.
struct ConfigLayout {
  Place GroupBox1, Label2, comDevBox, Button1;
  Place GroupBox2, Label1, lblvalues, lblmin, sldBuffer, lblmax, btnjian, btnjia, btnRese;
  Place GroupBox3, Label3, Label4, Label5, chkBuffers;
  Place GroupBox4, Label7, edL50, Label8, edR50, Label9, edL5, Label10, edR5, btnOK;
  Place Label6, btnClose;
};
constexpr int kClientWidth = 659, kClientHeight = 263;
constexpr ConfigLayout kLayout{
    .GroupBox1 = {8, 6, 318, 92},
    .Label2 = {12, 22, 0, 0},
    .comDevBox = {12, 40, 294, 21},
    .Button1 = {206, 64, 100, 22},

    .GroupBox2 = {8, 104, 318, 118},
    .Label1 = {12, 22, 0, 0},
    .lblvalues = {256, 22, 0, 0},
    .lblmin = {12, 50, 0, 0},
    .sldBuffer = {48, 42, 204, 30},
    .lblmax = {256, 50, 0, 0},
    .btnjian = {12, 86, 28, 22},
    .btnjia = {44, 86, 28, 22},
    .btnRese = {218, 86, 88, 22},

    .GroupBox3 = {334, 6, 317, 92},
    .Label3 = {12, 20, 0, 0},
    .Label4 = {12, 36, 0, 0},
    .Label5 = {12, 52, 0, 0},
    .chkBuffers = {12, 68, 200, 17},

    .GroupBox4 = {334, 104, 317, 118},
    .Label7 = {12, 26, 0, 0},
    .edL50 = {76, 22, 72, 21},
    .Label8 = {164, 26, 0, 0},
    .edR50 = {234, 22, 72, 21},
    .Label9 = {12, 56, 0, 0},
    .edL5 = {76, 52, 72, 21},
    .Label10 = {164, 56, 0, 0},
    .edR5 = {234, 52, 72, 21},
    .btnOK = {234, 86, 72, 22},

    .Label6 = {8, 238, 0, 0},
    .btnClose = {571, 232, 80, 24},
};

// Reads give the defaults, writes go nowhere: the window without a settings file.
class TNoSettings : public ISettingsStore {
 public:
  int32_t ReadInteger(std::string_view, std::string_view, int32_t fallback) override { return fallback; }
  bool ReadBool(std::string_view, std::string_view, bool fallback) override { return fallback; }
  std::string ReadString(std::string_view, std::string_view, std::string_view fallback) override {
    return std::string(fallback);
  }
  void WriteInteger(std::string_view, std::string_view, int32_t) override {}
  void WriteBool(std::string_view, std::string_view, bool) override {}
  void WriteString(std::string_view, std::string_view, std::string_view) override {}
};

}  // namespace

TFormConfig::TFormConfig(ISettingsStore* settings) : settings_(settings) {
  SetCaption(L"配置设置");
  SetBorderStyle(bsSingle);
  SetBorderIcons(0);
  SetPosition(poScreenCenter);
  SetColor(cl3DDkShadow);
  SetFont(MakeFont(L"Tahoma", 8, clWhite));
  SetClientSize(kClientWidth, kClientHeight);
  CreateControls();

  OnCreate = [this](TObject*) { controller_.FormCreate(Settings()); };
  OnDestroy = [this](TObject*) { controller_.FormDestroy(Settings()); };
}

TFormConfig::~TFormConfig() = default;

ISettingsStore& TFormConfig::Settings() {
  static TNoSettings none;
  return settings_ ? *settings_ : none;
}

void TFormConfig::CreateControls() {
  const TFont editFont = MakeFont(L"Tahoma", 8, clBlack);
  auto& c = controller_;

  GroupBox1 = Placed<TGroupBox>(this, kLayout.GroupBox1, L"音频设备设置");
  Label2 = Placed<TLabel>(GroupBox1, kLayout.Label2, L"当前播放器所使用的音频输出设备");
  comDevBox = Placed<TComboBox>(GroupBox1, kLayout.comDevBox, csDropDownList);
  comDevBox->SetFont(editFont);
  Button1 = Placed<TButton>(GroupBox1, kLayout.Button1, L"应用此设备");
  Button1->OnClick = [&c](TObject*) { c.ApplyDeviceClick(); };

  GroupBox2 = Placed<TGroupBox>(this, kLayout.GroupBox2, L"缓冲设置");
  Label1 = Placed<TLabel>(GroupBox2, kLayout.Label1, L"缓冲调整");
  lblmin = Placed<TLabel>(GroupBox2, kLayout.lblmin, L"80ms");
  sldBuffer = Placed<TSlider>(GroupBox2, kLayout.sldBuffer);
  sldBuffer->SetOrientation(soHorizontal);
  sldBuffer->SetNumThumbStates(2);
  sldBuffer->SetOptions(soShowFocus | soShowPoints | soSmooth);
  sldBuffer->SetMaxValue(kDefaultBufferMax);
  sldBuffer->SetMinValue(kBufferMin);
  sldBuffer->SetIncrement(kBufferIncrement);
  sldBuffer->SetValue(kDefaultBufferValue);
  lblmax = Placed<TLabel>(GroupBox2, kLayout.lblmax, Widen(MsText(kDefaultBufferMax)));
  lblvalues = Placed<TLabel>(GroupBox2, kLayout.lblvalues, Widen(MsText(kDefaultBufferValue)));
  btnjian = Placed<TButton>(GroupBox2, kLayout.btnjian, L"-");
  btnjia = Placed<TButton>(GroupBox2, kLayout.btnjia, L"+");
  btnRese = Placed<TButton>(GroupBox2, kLayout.btnRese, L"恢复默认");
  // Set after the design values, so only later changes reach the controller.
  sldBuffer->OnChange = [&c](TObject*) { c.BufferChanged(); };
  btnjian->OnClick = [&c](TObject*) { c.LowerMaxClick(); };
  btnjia->OnClick = [&c](TObject*) { c.RaiseMaxClick(); };
  btnRese->OnClick = [&c](TObject*) { c.ResetBufferClick(); };

  GroupBox3 = Placed<TGroupBox>(this, kLayout.GroupBox3, L"兼容模式");
  Label3 = Placed<TLabel>(GroupBox3, kLayout.Label3, L"少数文件在播放或调整播放位置时出现卡死现象。可通");
  Label4 = Placed<TLabel>(GroupBox3, kLayout.Label4, L"过勾选下列选项来缓解，并将缓冲设置调整大于500ms,");
  Label5 = Placed<TLabel>(GroupBox3, kLayout.Label5, L"但部分功能会暂时不可用。");
  chkBuffers = Placed<TCheckBox>(GroupBox3, kLayout.chkBuffers, L"启用兼容模式缓冲区");
  chkBuffers->OnClick = [&c](TObject*) { c.CompatClicked(); };

  GroupBox4 = Placed<TGroupBox>(this, kLayout.GroupBox4, L"播放进度条快捷键");
  Label7 = Placed<TLabel>(GroupBox4, kLayout.Label7, L"快退5秒:");
  edL50 = Placed<TKeyCaptureEdit>(GroupBox4, kLayout.edL50);
  Label8 = Placed<TLabel>(GroupBox4, kLayout.Label8, L"快进5秒:");
  edR50 = Placed<TKeyCaptureEdit>(GroupBox4, kLayout.edR50);
  Label9 = Placed<TLabel>(GroupBox4, kLayout.Label9, L"快退0.5秒:");
  edL5 = Placed<TKeyCaptureEdit>(GroupBox4, kLayout.edL5);
  Label10 = Placed<TLabel>(GroupBox4, kLayout.Label10, L"快进0.5秒:");
  edR5 = Placed<TKeyCaptureEdit>(GroupBox4, kLayout.edR5);
  const std::pair<TKeyCaptureEdit*, SeekKey> edits[] = {
      {edL50, SeekKey::Left50}, {edL5, SeekKey::Left5}, {edR50, SeekKey::Right50}, {edR5, SeekKey::Right5}};
  for (const auto& [edit, which] : edits) {
    edit->SetFont(editFont);
    edit->OnKeyDown = [&c, which](TObject*, WORD& key, TShiftState) { c.SeekKeyDown(which, key); };
  }
  btnOK = Placed<TButton>(GroupBox4, kLayout.btnOK, L"应用");
  btnOK->OnClick = [&c](TObject*) { c.ApplyKeysClick(); };

  Label6 = Placed<TLabel>(this, kLayout.Label6, L"*注:以上设置均在重新加载文件或播放下一个文件后生效!");
  btnClose = Placed<TButton>(this, kLayout.btnClose, L"关闭");
  btnClose->OnClick = [this](TObject*) { Close(); };
}

// --- what the controller shows -----------------------------------------------

void TFormConfig::SetDeviceNames(const std::vector<std::string>& names) {
  comDevBox->Clear();
  for (const std::string& name : names) comDevBox->Add(AnsiToWide(name));
}

void TFormConfig::SelectDevice(int32_t row) { comDevBox->SetItemIndex(row); }
int32_t TFormConfig::SelectedDevice() { return comDevBox->ItemIndex(); }
int32_t TFormConfig::BufferMax() { return sldBuffer->MaxValue(); }
void TFormConfig::SetBufferMax(int32_t ms) { sldBuffer->SetMaxValue(ms); }
int32_t TFormConfig::BufferValue() { return sldBuffer->Value(); }
void TFormConfig::SetBufferValue(int32_t ms) { sldBuffer->SetValue(ms); }
bool TFormConfig::CompatChecked() { return chkBuffers->Checked(); }
void TFormConfig::SetCompatChecked(bool on) { chkBuffers->SetChecked(on); }

void TFormConfig::SetText(ConfigText which, const std::string& utf8) {
  const std::wstring text = Widen(utf8);
  switch (which) {
    case ConfigText::BufferMax:
      lblmax->SetCaption(text);
      break;
    case ConfigText::BufferValue:
      lblvalues->SetCaption(text);
      break;
    case ConfigText::KeyLeft50:
      edL50->SetText(text);
      break;
    case ConfigText::KeyLeft5:
      edL5->SetText(text);
      break;
    case ConfigText::KeyRight50:
      edR50->SetText(text);
      break;
    case ConfigText::KeyRight5:
      edR5->SetText(text);
      break;
  }
}

void TFormConfig::ShowOwnedMessage(const std::string& text, const std::string& caption) {
  MessageBoxW(Handle(), Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
}

void TFormConfig::ShowMessage(const std::string& text) { ShowMessageBox(Widen(text), Application().Title(), MB_OK); }

}  // namespace tav::player
