#ifndef KALTHORNE_PLUGIN_H
#define KALTHORNE_PLUGIN_H
// The effect instance.

#include "ofx/ofxsImageEffect.h"
#include "plugin/param_handle_set.h"

class KalthornePlugin : public OFX::ImageEffect, public KalthorneParamHandles {
 public:
  explicit KalthornePlugin(OfxImageEffectHandle handle);

  void render(const OFX::RenderArguments& args) override;
  void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;

  OFX::Clip* m_OutputClip = nullptr;
  OFX::Clip* m_SourceClip = nullptr;
};

#endif
