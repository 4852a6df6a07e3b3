#ifndef KALTHORNE_BREW_NATRON_CUDA_H
#define KALTHORNE_BREW_NATRON_CUDA_H
// Registration of the one effect and its factory.

#include "ofx/ofxsImageEffect.h"
#include "plugin/plugin_identity.h"

// True once a describe ran in a Natron host; never turns back to false.
// Instances copy it when they are created.
extern bool gHostIsNatron;

class KalthornePluginFactory : public OFX::PluginFactoryHelper<KalthornePluginFactory> {
 public:
  KalthornePluginFactory(const std::string& id, unsigned int verMaj, unsigned int verMin)
      : OFX::PluginFactoryHelper<KalthornePluginFactory>(id, verMaj, verMin) {}
  ~KalthornePluginFactory() override {}
  void load() override;
  void unload() override;
  void describe(OFX::ImageEffectDescriptor& desc) override;
  void describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context) override;
  OFX::ImageEffect* createInstance(OfxImageEffectHandle handle, OFX::ContextEnum context) override;
};

#endif
