// The one owner of the device's render and texture-stage states.
//
// Every state a draw needs is set through it, so it knows what the device
// holds without asking (GetRenderState fails on pure devices) and sends only
// what changes. Each kind of drawing starts from its own baseline: 2D copies
// from the 2D one below, the 3D scene from its own. A device that is created
// or reset starts from the platform's defaults, which this record does not
// assume: forget() then, and every state is sent again at its next use.
#pragma once
#include <windows.h>
#include <d3d9.h>

#include <cstdint>

namespace qrt {

class RenderStates {
 public:
  // The device whose states this record tracks (no reference is kept).
  void attach(IDirect3DDevice9* device) {
    device_ = device;
    forget();
  }
  void forget() {
    for (bool& k : known_) k = false;
    for (auto& stage : stageKnown_)
      for (bool& k : stage) k = false;
    for (bool& k : samplerKnown_) k = false;
  }

  void set(D3DRENDERSTATETYPE state, DWORD value) {
    const auto i = static_cast<unsigned>(state);
    if (i < kRenderStates) {
      if (known_[i] && values_[i] == value) return;
      known_[i] = true;
      values_[i] = value;
    }
    if (device_) device_->SetRenderState(state, value);
  }

  void setStage(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    const auto i = static_cast<unsigned>(state);
    if (stage < kStages && i < kStageStates) {
      if (stageKnown_[stage][i] && stageValues_[stage][i] == value) return;
      stageKnown_[stage][i] = true;
      stageValues_[stage][i] = value;
    }
    if (device_) device_->SetTextureStageState(stage, state, value);
  }

  // Sampler 0's filters (the only sampler state drawing changes).
  void setSampler(D3DSAMPLERSTATETYPE state, DWORD value) {
    const auto i = static_cast<unsigned>(state);
    if (i < kSamplerStates) {
      if (samplerKnown_[i] && samplerValues_[i] == value) return;
      samplerKnown_[i] = true;
      samplerValues_[i] = value;
    }
    if (device_) device_->SetSamplerState(0, state, value);
  }

  // What every 2D copy starts from: screen-space quads, never culled, lit
  // or fogged, drawn solid from one texture with point sampling, whatever
  // the 3D scene left behind.
  void begin2d() {
    set(D3DRS_CULLMODE, D3DCULL_NONE);
    set(D3DRS_LIGHTING, FALSE);
    set(D3DRS_SPECULARENABLE, FALSE);
    set(D3DRS_FOGENABLE, FALSE);
    set(D3DRS_FILLMODE, D3DFILL_SOLID);
    set(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    set(D3DRS_DITHERENABLE, TRUE);
    setStage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    setSampler(D3DSAMP_MINFILTER, D3DTEXF_POINT);
    setSampler(D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  }

  // What the 3D draw walk starts from; it sets every other state it uses
  // for each frame it draws. Texture alpha is taken as the platform's
  // default stage does, as 2D copies may have changed it.
  void begin3d() {
    set(D3DRS_ZENABLE, TRUE);
    set(D3DRS_ZWRITEENABLE, TRUE);
    set(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    setStage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    setStage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    setStage(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
  }

 private:
  static constexpr unsigned kRenderStates = 256;   // D3DRS_* stop below 256
  static constexpr unsigned kStages = 8;
  static constexpr unsigned kStageStates = 33;     // D3DTSS_* stop at 32
  static constexpr unsigned kSamplerStates = 14;   // D3DSAMP_* stop at 13

  IDirect3DDevice9* device_ = nullptr;
  DWORD values_[kRenderStates] = {};
  bool known_[kRenderStates] = {};
  DWORD stageValues_[kStages][kStageStates] = {};
  bool stageKnown_[kStages][kStageStates] = {};
  DWORD samplerValues_[kSamplerStates] = {};
  bool samplerKnown_[kSamplerStates] = {};
};

}  // namespace qrt
