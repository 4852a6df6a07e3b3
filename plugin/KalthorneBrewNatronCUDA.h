#ifndef KALTHORNE_BREW_NATRON_CUDA_H
#define KALTHORNE_BREW_NATRON_CUDA_H
// Registration of the one effect and its factory.

#include "ofx/ofxsImageEffect.h"

// True once a describe ran in a Natron host; never turns back to false.
// Instances copy it when they are created.
extern bool gHostIsNatron;

// Identifier under which hosts store the effect in their projects.
#define kPluginIdentifier "com.kalthorne.KalthorneBrewNatron"
#define kPluginVersionMajor 1
#define kPluginVersionMinor 3
#define kPluginLabel "Brew_Natron_1_3"
#define kPluginGrouping "Kalthorne"

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
