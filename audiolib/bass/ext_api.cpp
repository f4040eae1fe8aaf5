// The extension interface (bass_ext.h): custom streams and effect types of other libraries.
#include "bass_ext.h"
#include "c_boundary.h"
#include "custom_stream.h"
#include "error.h"
#include "library_instance.h"

using namespace tav::audio;

namespace {

// An effect type registered through the C interface.
class ExternalEffect : public Effect {
 public:
  ExternalEffect(const TAV_FX_FUNCS& funcs, void* fx) : funcs_(funcs), fx_(fx) {}
  ~ExternalEffect() override {
    if (funcs_.destroy) funcs_.destroy(fx_);
  }
  void process(float* samples, size_t frames) override {
    if (funcs_.process) funcs_.process(fx_, samples, static_cast<DWORD>(frames));
  }
  bool set_parameters(const void* params) override {
    return funcs_.set_parameters && funcs_.set_parameters(fx_, params);
  }
  bool get_parameters(void* params) override { return funcs_.get_parameters && funcs_.get_parameters(fx_, params); }
  void reset() override {
    if (funcs_.reset) funcs_.reset(fx_);
  }

 private:
  TAV_FX_FUNCS funcs_;
  void* fx_;
};

}  // namespace

extern "C" {

HSTREAM BASSAPI BASS_TAV_StreamCreateCustom(DWORD freq, DWORD chans, DWORD flags, DWORD ctype,
                                            const TAV_STREAM_FUNCS* funcs, void* state) {
  return guarded(set_error, HSTREAM{0}, [&]() -> HSTREAM {
    if (!funcs) return fail(BASS_ERROR_ILLPARAM, HSTREAM{0});
    const HSTREAM h = library().create_custom_stream(freq, chans, flags, ctype, *funcs, state);
    if (h) set_error(BASS_OK);
    return h;
  });
}

void* BASSAPI BASS_TAV_StreamGetState(HSTREAM handle, const TAV_STREAM_FUNCS* funcs) {
  return guarded(set_error, static_cast<void*>(nullptr), [&]() -> void* {
    auto ch = library().channel(handle);
    if (!ch) return nullptr;
    auto* custom = dynamic_cast<CustomStream*>(ch.get());
    if (!custom || !custom->served_by(funcs)) return fail<void*>(BASS_ERROR_ILLTYPE, nullptr);
    set_error(BASS_OK);
    return custom->state();
  });
}

BOOL BASSAPI BASS_TAV_RegisterFX(DWORD type, const TAV_FX_FUNCS* funcs) {
  return guarded(set_error, FALSE, [&]() -> BOOL {
    if (!funcs || funcs->size < sizeof(TAV_FX_FUNCS) || !funcs->create || !funcs->process || !funcs->destroy)
      return fail(BASS_ERROR_ILLPARAM, FALSE);
    const TAV_FX_FUNCS copy = *funcs;
    library().effects.add(type, [copy](uint32_t t, unsigned rate, unsigned chans) -> std::unique_ptr<Effect> {
      void* fx = copy.create(t, rate, chans);
      if (!fx) return nullptr;
      return std::make_unique<ExternalEffect>(copy, fx);
    });
    set_error(BASS_OK);
    return TRUE;
  });
}

void BASSAPI BASS_TAV_SetError(int code) { set_error(code); }

}  // extern "C"
